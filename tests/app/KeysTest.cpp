#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include "app/WindowTest.h"

namespace quorvale::testing {
namespace {

class Keys : public WindowTest {
 protected:
  void SetUp() override {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  std::string Focused() {
    const QWidget* focused = QApplication::focusWidget();
    return focused != nullptr ? focused->objectName().toStdString() : std::string();
  }
};

TEST_F(Keys, TabEntersARadioGroupAtItsCheckedButtonAndLeavesItAtOnce) {
  Button("sizeHagakiButton")->click();
  Button("reduceCheck")->click();  // the resolutions on, 400 dpi checked
  const struct {
    const char* from;
    Qt::Key key;
    const char* lands;
  } cases[] = {
      {"outputFolderEdit", Qt::Key_Tab, "sizeHagakiButton"},
      {"sizeHagakiButton", Qt::Key_Tab, "reduceCheck"},  // the trim check is hidden
      {"reduceCheck", Qt::Key_Tab, "dpi400Button"},
      {"dpi400Button", Qt::Key_Tab, "highQualityCheck"},
      {"highQualityCheck", Qt::Key_Backtab, "dpi400Button"},
      {"dpi400Button", Qt::Key_Backtab, "reduceCheck"},
      {"reduceCheck", Qt::Key_Backtab, "sizeHagakiButton"},
  };
  for (const auto& c : cases) {
    Control<QWidget>(c.from)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), c.key);
    EXPECT_EQ(Focused(), c.lands) << c.from;
  }
}

TEST_F(Keys, EscapeOutOfAMenuGivesTheFocusBack) {
  Button("runButton")->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->objectName().toStdString(), "optionsMenu");
  QTest::keyClick(popup, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // The offscreen platform leaves the closed menu the active window: the
  // focus asked of the main window is the one it takes when activated.
  QWidget* focused = window.focusWidget();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused->objectName().toStdString(), "runButton");
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(focused, Qt::Key_Tab);
  EXPECT_EQ(window.focusWidget()->objectName().toStdString(), "logView");
}

TEST_F(Keys, EveryMenuItemHasAnAccessKeyOfItsOwnInItsMenu) {
  for (QMenu* menu : window.findChildren<QMenu*>()) {
    QSet<QChar> keys;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      const QString text = action->text();
      const qsizetype at = text.indexOf('&');
      ASSERT_TRUE(at >= 0 && at + 1 < text.size()) << text.toStdString();
      const QChar key = text[at + 1].toUpper();
      EXPECT_FALSE(keys.contains(key)) << text.toStdString();
      keys.insert(key);
    }
  }
}

TEST_F(Keys, TheLogShowsTheStartOfItsLatestLine) {
  const std::string folder = "in/" + std::string(200, 'x');
  box.Fill({folder + "/a.jpg", folder + "/b.jpg"});
  window.hide();
  BrowseInput(box.Path(folder));
  window.show();
  auto* log = Control<QPlainTextEdit>("logView");
  EXPECT_GT(log->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(log->textCursor().blockNumber(), 1);
}

}  // namespace
}  // namespace quorvale::testing
