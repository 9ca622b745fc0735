#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QRadioButton>
#include <QSlider>
#include <filesystem>

#include "app/Unit2.h"
#include "app/WindowTest.h"
#include "imaging/SizeTable.h"

namespace quorvale::testing {
namespace {

using Unit1Layout = WindowTest;

QString Caption(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  return QString();
}

TEST_F(Unit1Layout, ClientAreaIsFixedAt473By589WithADialogFrame) {
  EXPECT_EQ(form.size(), QSize(473, 589));
  EXPECT_EQ(form.minimumSize(), QSize(473, 589));
  EXPECT_EQ(form.maximumSize(), QSize(473, 589));
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(Unit1Layout, EveryControlHasItsStoredPlaceAndSize) {
  const struct {
    const char* name;
    QRect geometry;
  } rows[] = {
      {"Edit1", {88, 8, 313, 20}},          {"Edit2", {88, 40, 249, 20}},
      {"GroupBox1", {8, 128, 233, 401}},    {"CheckBox1", {256, 132, 97, 17}},
      {"CheckBox2", {256, 148, 185, 17}},   {"GroupBox2", {256, 168, 209, 113}},
      {"BitBtn8", {408, 2, 25, 25}},        {"BitBtn1", {344, 34, 25, 25}},
      {"BitBtn2", {248, 480, 105, 41}},     {"Memo1", {256, 288, 209, 185}},
      {"ProgressBar1", {3, 536, 465, 17}},  {"BitBtn3", {360, 480, 105, 41}},
      {"BitBtn4", {374, 34, 97, 25}},       {"CheckBox4", {88, 64, 153, 17}},
      {"CheckBox5", {248, 64, 225, 17}},    {"TrackBar1", {80, 80, 297, 25}},
      {"Label3", {8, 16, 67, 12}},          {"Label4", {8, 48, 67, 12}},
      {"Label2", {8, 88, 49, 12}},          {"StatusBar1", {0, 555, 473, 34}},
      {"Label1", {8, 200, 111, 12}},        {"RadioButton1", {8, 16, 137, 17}},
      {"RadioButton3", {8, 56, 145, 17}},   {"RadioButton22", {8, 378, 153, 17}},
      {"StaticText11", {168, 236, 49, 16}}, {"RadioButton11", {16, 16, 65, 17}},
      {"RadioButton16", {104, 40, 65, 17}}, {"CheckBox3", {16, 88, 97, 17}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Control<QWidget>(row.name)->geometry(), row.geometry) << row.name;
  }
  for (const char* name : {"Label5", "Label6", "Label7"}) {
    EXPECT_EQ(Control<QWidget>(name)->y(), 112) << name;
  }
}

TEST_F(Unit1Layout, CaptionsAreStoredByteForByte) {
  const struct {
    const char* name;
    const char* caption;
  } rows[] = {
      {"BitBtn2", "　　実　行"},
      {"BitBtn3", "　　中　断"},
      {"BitBtn4", "フォルダ作成"},
      {"GroupBox1", "　　サイズ　　　　寸法　　　　　　　縦横比"},
      {"GroupBox2", "縮小後サイズ"},
      {"CheckBox1", "縦横比変更"},
      {"CheckBox2", "解像度縮小(拡大は行いません)"},
      {"CheckBox3", "高品質で圧縮"},
      {"CheckBox4", "サブフォルダは検索しない"},
      {"CheckBox5", "元画像が320px×240px以下はスキップ"},
      {"Label1", "▼　固定ピクセル寸法"},
      {"Label2", "Jpeg画質"},
      {"Label3", "入力フォルダ"},
      {"Label4", "出力フォルダ"},
      {"RadioButton1", "L　     89mm×127mm"},
      {"RadioButton15", "16Base 3072px×2048px"},
      {"RadioButton20", "QVGA    320px× 240px"},
      {"RadioButton13", "400 dpi"},
      {"StaticText5", "1.309"},
      {"BitBtn8", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Caption(Control<QWidget>(row.name)).toStdString(), row.caption) << row.name;
  }
  EXPECT_EQ(form.windowTitle().toStdString(), "Quorvale（Tessaly付属ツール）");
}

TEST_F(Unit1Layout, SizeButtonsAndAspectLabelsMatchTheSizeTable) {
  for (const SizePreset& preset : SizeTable()) {
    const std::string button = "RadioButton" + std::to_string(preset.button);
    const std::string label = "StaticText" + std::to_string(preset.label);
    EXPECT_EQ(Caption(Control<QWidget>(button.c_str())).toStdString(), preset.caption);
    EXPECT_EQ(Caption(Control<QWidget>(label.c_str())).toStdString(), preset.aspectLabel);
  }
}

TEST_F(Unit1Layout, SizeCaptionsLineUpInAFixedPitchFont) {
  // The "×" of every print size stands in one column, and that of every
  // fixed pixel size in another.
  std::vector<int> print, fixed;
  for (const SizePreset& preset : SizeTable()) {
    const std::string name = "RadioButton" + std::to_string(preset.button);
    auto* button = Control<QRadioButton>(name.c_str());
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
  EXPECT_EQ(form.font().pixelSize(), 12);
}

TEST_F(Unit1Layout, OnlyTheTwoReductionOptionsShowTooltips) {
  for (QWidget* control : form.findChildren<QWidget*>()) {
    const std::string name = control->objectName().toStdString();
    if (name == "CheckBox2") {
      EXPECT_EQ(control->toolTip().toStdString(), "拡大は行われません");
    } else if (name == "CheckBox3") {
      EXPECT_EQ(control->toolTip().toStdString(), "綺麗に縮小されますが時間がかかります。");
    } else {
      EXPECT_TRUE(control->toolTip().isEmpty()) << name;
    }
  }
}

TEST_F(Unit1Layout, TabOrderFollowsTheStoredOrder) {
  const std::vector<std::string> expected = {
      "Edit1", "Edit2",   "CheckBox1", "CheckBox2", "BitBtn8",   "BitBtn1",  "BitBtn2",
      "Memo1", "BitBtn3", "BitBtn4",   "CheckBox4", "CheckBox5", "TrackBar1"};
  std::vector<std::string> order;
  QWidget* widget = Control<QWidget>("Edit1");
  do {
    const std::string name = widget->objectName().toStdString();
    if (std::find(expected.begin(), expected.end(), name) != expected.end()) order.push_back(name);
    widget = widget->nextInFocusChain();
  } while (widget != Control<QWidget>("Edit1"));
  EXPECT_EQ(order, expected);
}

TEST_F(Unit1Layout, OpensWithTheStoredInitialStates) {
  EXPECT_FALSE(Button("CheckBox2")->isChecked());
  for (const char* name : {"GroupBox2", "RadioButton11", "RadioButton12", "RadioButton13",
                           "RadioButton14", "RadioButton16", "CheckBox3", "BitBtn3", "BitBtn4"}) {
    EXPECT_FALSE(Enabled(name)) << name;
  }
  EXPECT_TRUE(Enabled("BitBtn2"));
  EXPECT_FALSE(Button("CheckBox3")->isChecked());
  EXPECT_EQ(form.SelectedRadioButtons(), RadioSelection().set(1).set(13));

  auto* track = Control<QSlider>("TrackBar1");
  EXPECT_EQ(track->value(), 90);
  EXPECT_EQ(form.Quality(), 90);
  EXPECT_EQ(track->minimum(), 0);
  EXPECT_EQ(track->maximum(), 100);
  EXPECT_EQ(track->pageStep(), 10);
  EXPECT_EQ(track->tickInterval(), 10);
  EXPECT_EQ(track->tickPosition(), QSlider::TicksBelow);

  auto* progress = Control<QProgressBar>("ProgressBar1");
  EXPECT_TRUE(progress->isHidden());
  EXPECT_EQ(progress->minimum(), 0);
  EXPECT_EQ(progress->maximum(), 100);
  EXPECT_EQ(progress->value(), 0);

  EXPECT_TRUE(Control<QWidget>("CheckBox1")->isHidden());
  EXPECT_TRUE(form.OptionsForRun().photo.trim);
  EXPECT_TRUE(form.OptionsForRun().subfolders);
  EXPECT_TRUE(form.OptionsForRun().photo.skipSmall);

  for (const char* name : {"Edit1", "Edit2"}) {
    auto* edit = Control<QLineEdit>(name);
    EXPECT_TRUE(edit->isReadOnly()) << name;
    EXPECT_TRUE(edit->text().isEmpty()) << name;
    EXPECT_EQ(edit->maxLength(), 2000) << name;
  }
  auto* memo = Control<QPlainTextEdit>("Memo1");
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(MemoLines().empty());
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(form.InputFolderText(), "");
  EXPECT_EQ(form.OutputFolderText(), "");
}

TEST_F(Unit1Layout, FormCreateSetsCaptionFolderAndBitmaps) {
  EXPECT_EQ(form.CaptionText(), "Quorvale（Tessaly付属ツール）");
  EXPECT_EQ(form.LastScan().SubfolderCount, 0);
  EXPECT_EQ(form.LastScan().FileCount, 0);
  EXPECT_EQ(form.LastScan().JpegCount, 0);
  EXPECT_FALSE(form.CancelRequested());
  EXPECT_TRUE(form.acceptDrops());
  EXPECT_EQ(Form1, &form);

  // The folder of the test program, which the window made current.
  const std::string folder = form.ProgramFolderText();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(folder).parent_path());
  EXPECT_TRUE(std::filesystem::exists(folder + "app_test"));
}

TEST_F(Unit1Layout, ShowingRunsTheSplashModallyFirstAndCentresTheWindow) {
  bool visibleDuringSplash = true;
  dialogs.onModal = [&](QDialog& splash) {
    visibleDuringSplash = form.isVisible();
    EXPECT_EQ(&splash, Form2);
    EXPECT_EQ(splash.parent(), &form);
  };
  form.show();
  ASSERT_EQ(dialogs.modals.size(), 1u);
  EXPECT_FALSE(visibleDuringSplash);
  EXPECT_TRUE(form.isVisible());
  const QPoint offCentre = form.geometry().center() - form.screen()->geometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 2);  // halves of odd sizes round either way

  // Shown once: hiding and showing again brings no second splash.
  form.hide();
  form.show();
  EXPECT_EQ(dialogs.modals.size(), 1u);
}

}  // namespace
}  // namespace quorvale::testing
