#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/QtDialogs.h"

namespace quorvale {
namespace {

// Runs `act` on the message box once it is up, then answers it with `answer`.
void WhenBoxIsUp(const std::function<void(QMessageBox&)>& act, QMessageBox::StandardButton answer) {
  QTimer::singleShot(0, [act, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    act(*box);
    box->button(answer)->click();
  });
}

TEST(QtDialogs, QuestionIgnoresEscapeAndCloseUntilAButtonAnswersIt) {
  QtDialogs dialogs;
  bool stillUp = false;
  WhenBoxIsUp(
      [&](QMessageBox& box) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&box, &escape);
        box.close();
        stillUp = box.isVisible() && box.clickedButton() == nullptr;
      },
      QMessageBox::Yes);
  EXPECT_TRUE(dialogs.YesNo("Quorvale", "中断しますか？"));
  EXPECT_TRUE(stillUp);
}

TEST(QtDialogs, QuestionOffersYesAsTheDefaultAndNoCloseButton) {
  QtDialogs dialogs;
  bool yesIsDefault = false;
  bool closable = true;
  WhenBoxIsUp(
      [&](QMessageBox& box) {
        yesIsDefault = box.defaultButton() == box.button(QMessageBox::Yes);
        closable = box.windowFlags().testFlag(Qt::WindowCloseButtonHint);
      },
      QMessageBox::No);
  EXPECT_FALSE(dialogs.YesNo("Quorvale", "中断しますか？"));
  EXPECT_TRUE(yesIsDefault);
  EXPECT_FALSE(closable);
}

TEST(QtDialogs, NoticeClosesWithEscape) {
  QtDialogs dialogs;
  QTimer::singleShot(0, [] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &escape);
  });
  dialogs.Message("Quorvale", "中断しました。");  // returns: Escape closed it
}

}  // namespace
}  // namespace quorvale
