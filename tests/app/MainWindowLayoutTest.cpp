#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QMenuBar>
#include <QRadioButton>
#include <QSlider>
#include <filesystem>

#include "app/SplashScreen.h"
#include "app/WindowTest.h"
#include "geometry/SizeTable.h"
#include "messages/Messages.h"

namespace quorvale::testing {
namespace {

using MainWindowLayout = WindowTest;

QString Caption(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  return QString();
}

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

TEST_F(MainWindowLayout, EveryControlHasItsStoredPlaceAndSize) {
  const struct {
    const char* name;
    QRect geometry;
  } rows[] = {
      {"inputFolderEdit", {88, 8, 313, 20}},     {"outputFolderEdit", {88, 40, 249, 20}},
      {"sizeGroup", {8, 128, 233, 401}},         {"trimCheck", {256, 132, 97, 17}},
      {"reduceCheck", {256, 148, 185, 17}},      {"reductionGroup", {256, 168, 209, 113}},
      {"browseInputButton", {408, 2, 25, 25}},   {"browseOutputButton", {344, 34, 25, 25}},
      {"runButton", {248, 480, 105, 41}},        {"logView", {256, 288, 209, 185}},
      {"progressBar", {3, 536, 465, 17}},        {"cancelButton", {360, 480, 105, 41}},
      {"newSubfolderButton", {374, 34, 97, 25}}, {"noSubfoldersCheck", {88, 64, 153, 17}},
      {"skipSmallCheck", {248, 64, 225, 17}},    {"qualitySlider", {80, 80, 297, 25}},
      {"inputFolderLabel", {8, 16, 67, 12}},     {"outputFolderLabel", {8, 48, 67, 12}},
      {"qualityLabel", {8, 88, 49, 12}},         {"statusLine", {0, 555, 473, 34}},
      {"fixedSizesHeading", {8, 200, 111, 12}},  {"sizeLButton", {8, 16, 137, 17}},
      {"size2LButton", {8, 56, 145, 17}},        {"sizeSxga2048Button", {8, 378, 153, 17}},
      {"size16baseAspect", {168, 236, 49, 16}},  {"dpi150Button", {16, 16, 65, 17}},
      {"dpi320Button", {104, 40, 65, 17}},       {"highQualityCheck", {16, 88, 97, 17}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Control<QWidget>(row.name)->geometry(), row.geometry) << row.name;
  }
  for (const char* name : {"qualityMinLabel", "qualityMidLabel", "qualityMaxLabel"}) {
    EXPECT_EQ(Control<QWidget>(name)->y(), 112) << name;
  }
}

TEST_F(MainWindowLayout, CaptionsAreStoredByteForByte) {
  const struct {
    const char* name;
    const char* caption;
  } rows[] = {
      {"runButton", "　　実　行"},
      {"cancelButton", "　　中　断"},
      {"newSubfolderButton", "フォルダ作成"},
      {"sizeGroup", "　　サイズ　　　　寸法　　　　　　　縦横比"},
      {"reductionGroup", "縮小後サイズ"},
      {"trimCheck", "縦横比変更"},
      {"reduceCheck", "解像度縮小(拡大は行いません)"},
      {"highQualityCheck", "高品質で圧縮"},
      {"noSubfoldersCheck", "サブフォルダは検索しない"},
      {"skipSmallCheck", "元画像が320px×240px以下はスキップ"},
      {"fixedSizesHeading", "▼　固定ピクセル寸法"},
      {"qualityLabel", "Jpeg画質"},
      {"inputFolderLabel", "入力フォルダ"},
      {"outputFolderLabel", "出力フォルダ"},
      {"sizeLButton", "L　     89mm×127mm"},
      {"size16baseButton", "16Base 3072px×2048px"},
      {"sizeQvgaButton", "QVGA    320px× 240px"},
      {"dpi400Button", "400 dpi"},
      {"sizeYatsugiriAspect", "1.309"},
      {"browseInputButton", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Caption(Control<QWidget>(row.name)).toStdString(), row.caption) << row.name;
  }
  EXPECT_EQ(window.windowTitle().toStdString(), "Quorvale（Tessaly付属ツール）");
}

TEST_F(MainWindowLayout, SizeButtonsAndAspectLabelsMatchTheSizeTable) {
  for (const SizePreset& preset : SizeTable()) {
    const QByteArray button = SizeButtonName(preset).toUtf8();
    const QByteArray label = AspectLabelName(preset).toUtf8();
    EXPECT_EQ(Caption(Control<QWidget>(button)).toStdString(), SizeCaption(preset));
    EXPECT_EQ(Caption(Control<QWidget>(label)).toStdString(), preset.aspectLabel);
  }
}

TEST_F(MainWindowLayout, SizeCaptionsLineUpInAFixedPitchFont) {
  // The "×" of every print size stands in one column, and that of every
  // fixed pixel size in another.
  std::vector<int> print, fixed;
  for (const SizePreset& preset : SizeTable()) {
    auto* button = Control<QRadioButton>(SizeButtonName(preset).toUtf8());
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

TEST_F(MainWindowLayout, TabOrderFollowsTheStoredOrder) {
  const std::vector<std::string> expected = {
      "inputFolderEdit",   "outputFolderEdit",   "trimCheck",         "reduceCheck",
      "browseInputButton", "browseOutputButton", "runButton",         "logView",
      "cancelButton",      "newSubfolderButton", "noSubfoldersCheck", "skipSmallCheck",
      "qualitySlider"};
  std::vector<std::string> order;
  QWidget* widget = Control<QWidget>("inputFolderEdit");
  do {
    const std::string name = widget->objectName().toStdString();
    if (std::find(expected.begin(), expected.end(), name) != expected.end()) order.push_back(name);
    widget = widget->nextInFocusChain();
  } while (widget != Control<QWidget>("inputFolderEdit"));
  EXPECT_EQ(order, expected);
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
  EXPECT_EQ(window.SelectedRadioButtons(), RadioSelection().set(1).set(13));

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

TEST_F(MainWindowLayout, StartsWithItsCaptionAndTheProgramFolderCurrent) {
  EXPECT_EQ(window.CaptionText(), "Quorvale（Tessaly付属ツール）");
  EXPECT_EQ(window.LastScan().SubfolderCount, 0);
  EXPECT_EQ(window.LastScan().FileCount, 0);
  EXPECT_EQ(window.LastScan().JpegCount, 0);
  EXPECT_FALSE(window.CancelRequested());
  EXPECT_TRUE(window.acceptDrops());

  // The folder of the test program, which the window made current.
  const std::string folder = window.ProgramFolderText();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(folder).parent_path());
  EXPECT_TRUE(std::filesystem::exists(folder + "app_test"));
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

}  // namespace
}  // namespace quorvale::testing
