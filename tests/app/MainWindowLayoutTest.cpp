#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>

#include "app/SplashScreen.h"
#include "app/WindowTest.h"
#include "geometry/SizeTable.h"

namespace quorvale::testing {
namespace {

using MainWindowLayout = WindowTest;

TEST_F(MainWindowLayout, ClientAreaIsFixedAt473By589BelowTheMenuBarWithADialogFrame) {
  const int bar = Control<QMenuBar>("")->height();
  EXPECT_GT(bar, 0);
  EXPECT_EQ(Control<QWidget>("clientArea")->geometry(), QRect(0, bar, 473, 589));
  EXPECT_EQ(window.size(), QSize(473, 589 + bar));
  EXPECT_EQ(window.minimumSize(), window.size());
  EXPECT_EQ(window.maximumSize(), window.size());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(MainWindowLayout, SizeCaptionsLineUpInAFixedPitchFont) {
  // The "×" of every print size stands in one column, and that of every
  // fixed pixel size in another.
  std::vector<int> print, fixed;
  for (const SizePreset& preset : SizeTable().first(ListedSizes)) {
    auto* button = Control<QAbstractButton>(SizeButtonName(preset).toUtf8());
    EXPECT_EQ(button->font().pixelSize(), 12);
    const QString caption = button->text();
    const int column =
        QFontMetrics(button->font()).horizontalAdvance(caption.left(caption.indexOf(u'×')));
    (preset.kind == SizeKind::Print ? print : fixed).push_back(column);
  }
  ASSERT_EQ(print.size(), 9u);
  ASSERT_EQ(fixed.size(), 9u);
  for (int column : print) EXPECT_EQ(column, print.front());
  for (int column : fixed) EXPECT_EQ(column, fixed.front());
  EXPECT_EQ(window.font().pixelSize(), 12);
}

TEST_F(MainWindowLayout, TooltipsAreTheReductionOptionsAndTheQualityValue) {
  Control<QSlider>("qualitySlider")->setValue(75);
  for (QWidget* control : window.findChildren<QWidget*>()) {
    const std::string name = control->objectName().toStdString();
    if (name == "qualitySlider") {
      EXPECT_EQ(control->toolTip().toStdString(), "75");
    } else if (name == "reduceCheck") {
      EXPECT_EQ(control->toolTip().toStdString(), "拡大は行われません");
    } else if (name == "highQualityCheck") {
      EXPECT_EQ(control->toolTip().toStdString(), "綺麗に縮小されますが時間がかかります。");
    } else {
      EXPECT_TRUE(control->toolTip().isEmpty()) << name;
    }
  }
}

TEST_F(MainWindowLayout, OpensWithTheStoredInitialStates) {
  EXPECT_FALSE(Button("reduceCheck")->isChecked());
  for (const char* name :
       {"reductionGroup", "dpi150Button", "dpi300Button", "dpi400Button", "dpi200Button",
        "dpi320Button", "highQualityCheck", "cancelButton", "newSubfolderButton"}) {
    EXPECT_FALSE(Enabled(name)) << name;
  }
  EXPECT_TRUE(Enabled("runButton"));
  EXPECT_FALSE(Button("highQualityCheck")->isChecked());
  EXPECT_EQ(window.ChosenSize(), SizeChoice{});

  auto* track = Control<QSlider>("qualitySlider");
  EXPECT_EQ(track->value(), 90);
  EXPECT_EQ(window.Quality(), 90);
  EXPECT_EQ(track->minimum(), 0);
  EXPECT_EQ(track->maximum(), 100);
  EXPECT_EQ(track->pageStep(), 10);
  EXPECT_EQ(track->tickInterval(), 10);
  EXPECT_EQ(track->tickPosition(), QSlider::TicksBelow);

  auto* progress = Control<QProgressBar>("progressBar");
  EXPECT_TRUE(progress->isHidden());
  EXPECT_EQ(progress->minimum(), 0);
  EXPECT_EQ(progress->maximum(), 100);
  EXPECT_EQ(progress->value(), 0);

  EXPECT_TRUE(Control<QWidget>("trimCheck")->isHidden());
  EXPECT_TRUE(window.OptionsForRun().photo.trim);
  EXPECT_TRUE(window.OptionsForRun().subfolders);
  EXPECT_TRUE(window.OptionsForRun().photo.skipSmall);

  for (const char* name : {"inputFolderEdit", "outputFolderEdit"}) {
    auto* edit = Control<QLineEdit>(name);
    EXPECT_TRUE(edit->isReadOnly()) << name;
    EXPECT_TRUE(edit->text().isEmpty()) << name;
    EXPECT_EQ(edit->maxLength(), 2000) << name;
  }
  auto* memo = Control<QPlainTextEdit>("logView");
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(window.InputFolderText(), "");
  EXPECT_EQ(window.OutputFolderText(), "");
}

TEST_F(MainWindowLayout, StartsWithItsCaptionAndNothingScanned) {
  EXPECT_EQ(window.CaptionText(), "Quorvale（Tessaly付属ツール）");
  EXPECT_EQ(window.LastScan().SubfolderCount, 0);
  EXPECT_EQ(window.LastScan().FileCount, 0);
  EXPECT_EQ(window.LastScan().JpegCount, 0);
  EXPECT_FALSE(window.CancelRequested());
  EXPECT_TRUE(window.acceptDrops());
}

TEST_F(MainWindowLayout, ShowingRunsTheSplashModallyFirstAndCentresTheWindow) {
  bool visibleDuringSplash = true;
  dialogs.onModal = [&](QDialog& splash) {
    visibleDuringSplash = window.isVisible();
    EXPECT_NE(qobject_cast<SplashScreen*>(&splash), nullptr);
    EXPECT_EQ(splash.parent(), &window);
  };
  window.show();
  ASSERT_EQ(dialogs.modals.size(), 1u);
  EXPECT_FALSE(visibleDuringSplash);
  EXPECT_TRUE(window.isVisible());
  const QPoint offCentre = window.geometry().center() - window.screen()->geometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 2);  // halves of odd sizes round either way

  // Shown once: hiding and showing again brings no second splash.
  window.hide();
  window.show();
  EXPECT_EQ(dialogs.modals.size(), 1u);
}

// Measured with the fonts the package depends on, as the controls have
// them: the text needs no more than the room the style leaves it beside the
// check mark, the glyph or the frame.
TEST_F(MainWindowLayout, NoCaptionIsWiderThanItsControl) {
  Trigger("fitBorderAction");  // the line that says フチあり is on
  QWidget* client = Control<QWidget>("clientArea");
  int measured = 0;
  for (QWidget* control : client->findChildren<QWidget*>()) {
    QString caption;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
    if (auto* label = qobject_cast<QLabel*>(control)) caption = label->text();
    if (!control->isVisibleTo(client) || caption.isEmpty()) continue;
    QRect room = control->contentsRect();
    int glyph = 0;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      QStyleOptionButton option;
      option.initFrom(button);
      const bool check = qobject_cast<QCheckBox*>(button) != nullptr;
      const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
      room = button->style()->subElementRect(check   ? QStyle::SE_CheckBoxContents
                                             : radio ? QStyle::SE_RadioButtonContents
                                                     : QStyle::SE_PushButtonContents,
                                             &option, button);
      if (!check && !radio && !button->icon().isNull()) glyph = button->iconSize().width();
    }
    ++measured;
    EXPECT_LE(glyph + control->fontMetrics().horizontalAdvance(caption), room.width())
        << control->objectName().toStdString() << " " << caption.toStdString();
  }
  EXPECT_GE(measured, 40);
}

TEST_F(MainWindowLayout, OnAScreenTooSmallForItTheClientAreaScrollsIntoReach) {
  window.show();
  window.FitScreen({400, 300});
  EXPECT_LE(window.width(), 400);
  EXPECT_LE(window.height(), 300);
  auto* scroll = Control<QScrollArea>("clientScroll");
  ASSERT_NE(scroll, nullptr);
  for (const char* name : {"statusLine", "cancelButton", "browseInputButton", "qualitySlider"}) {
    QWidget* control = Control<QWidget>(name);
    scroll->ensureWidgetVisible(control, 0, 0);
    const QRect shown = QRect(control->mapTo(scroll->viewport(), QPoint(0, 0)), control->size());
    EXPECT_TRUE(scroll->viewport()->rect().intersects(shown)) << name;
  }
}

}  // namespace
}  // namespace quorvale::testing
