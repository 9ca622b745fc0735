// The 確認 window driven as an operator would: drags and buttons checked on
// the positions the run takes and on its outputs, the crop file saved and
// loaded, and the フチなし / フチあり choice remembered and given to the run.

#include <QAction>
#include <QCheckBox>
#include <QListView>
#include <QTest>
#include <cmath>
#include <cstdlib>

#include "app/PreviewWindow.h"
#include "app/WindowTest.h"
#include "batch/CropFile.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "geometry/TrimPosition.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {
namespace {

using Positions = std::map<std::string, double>;
constexpr LongShort L400{2000, 1401};

class Preview : public WindowTest {
 protected:
  void SetUp() override {
    box.Write("in/tall.jpg", MakeJpeg(300, 700, CoordinatePixel, {.quality = 95}));
    box.Write("in/sub/wide.jpg", MakeJpeg(800, 300, CoordinatePixel, {.quality = 95}));
    box.Fill({"out/"});
    BrowseInput(box.Path("in"));
    BrowseOutput(box.Path("out"));
  }

  // Opens the preview and waits until every thumbnail is in.
  PreviewWindow* Open() {
    Trigger("previewAction");
    auto* preview = window.findChild<PreviewWindow*>();
    EXPECT_NE(preview, nullptr);
    if (preview == nullptr) return nullptr;
    const PreviewModel& model = preview->Model();
    const auto allShown = [&] {
      for (int row = 0; row < model.rowCount(); ++row) {
        if (model.Photo(row).state != PreviewPhoto::State::Shown) return false;
      }
      return true;
    };
    [&] { QTRY_VERIFY_WITH_TIMEOUT(allShown(), 30000); }();
    return preview;
  }

  int Row(PreviewWindow& preview, const std::string& relative) {
    for (int row = 0; row < preview.Model().rowCount(); ++row) {
      if (preview.Model().Photo(row).relative == relative) return row;
    }
    ADD_FAILURE() << relative;
    return 0;
  }

  // Presses on the middle of the photo's thumbnail and moves by `by`.
  void Drag(PreviewWindow& preview, const std::string& relative, QPoint by) {
    QListView& list = preview.PhotoList();
    const QRect cell = list.visualRect(preview.Model().index(Row(preview, relative)));
    const QPoint from(cell.left() + 8 + PreviewModel::ThumbnailSide / 2,
                      cell.top() + 8 + PreviewModel::ThumbnailSide / 2);
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(list.viewport(), from + by / 2);
    QTest::mouseMove(list.viewport(), from + by);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, from + by);
  }

  void Press(PreviewWindow& preview, const char* name) {
    auto* button = preview.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    button->click();
  }

  // The mean difference of the output's pixels from those of its photo's
  // crop at `position`, decoded here.
  double DifferenceFromCrop(const std::string& photo, double position) {
    Bitmap input;
    Bitmap output;
    EXPECT_TRUE(LoadPhotoFile(box.Path("in/" + photo), input).Ok());
    EXPECT_TRUE(LoadPhotoFile(box.Path("out/" + photo), output).Ok());
    const PixelRect crop = ComputeTrimRect(input.Width(), input.Height(), L400, position);
    EXPECT_EQ(output.Width(), crop.width);
    EXPECT_EQ(output.Height(), crop.height);
    if (output.Width() != crop.width || output.Height() != crop.height) return 255;
    double sum = 0;
    for (int y = 0; y < crop.height; ++y) {
      for (int x = 0; x < 3 * crop.width; ++x) {
        sum += std::abs(output.Row(y)[x] - input.Row(crop.top + y)[3 * crop.left + x]);
      }
    }
    return sum / (3.0 * crop.width * crop.height);
  }
};

TEST_F(Preview, DragsAndButtonsGiveTheRunItsPositions) {
  PreviewWindow* preview = Open();
  ASSERT_NE(preview, nullptr);
  // Far past either end: the crop stops there. Across the free axis:
  // nothing moves.
  Drag(*preview, "tall.jpg", {0, 400});
  Drag(*preview, "sub/wide.jpg", {-400, 0});
  Drag(*preview, "sub/wide.jpg", {0, 60});
  EXPECT_EQ(window.OptionsForRun().crops.byPath,
            (Positions{{"tall.jpg", 1.0}, {"sub/wide.jpg", 0.0}}));

  PressRunAndWait();
  EXPECT_LT(DifferenceFromCrop("tall.jpg", 1.0), 3);
  EXPECT_GT(DifferenceFromCrop("tall.jpg", 0.5), 20) << "the centre crop differs";
  EXPECT_LT(DifferenceFromCrop("sub/wide.jpg", 0.0), 3);

  // A short drag moves part of the way, in the drag's direction.
  Drag(*preview, "sub/wide.jpg", {20, 0});
  const double moved = window.OptionsForRun().crops.byPath.at("sub/wide.jpg");
  EXPECT_GT(moved, 0.05);
  EXPECT_LT(moved, 0.5);

  // The buttons: the selected photo (the last one dragged), then all.
  Press(*preview, "centreButton");
  EXPECT_EQ(window.OptionsForRun().crops.byPath,
            (Positions{{"tall.jpg", 1.0}, {"sub/wide.jpg", 0.5}}));
  preview->findChild<QCheckBox*>("allPhotosCheck")->setChecked(true);
  Press(*preview, "topButton");
  EXPECT_EQ(window.OptionsForRun().crops.byPath,
            (Positions{{"tall.jpg", 0.0}, {"sub/wide.jpg", 0.0}}));

  // The positions belong to the folder they were chosen in.
  preview->close();
  BrowseInput(box.Path("in/sub"));
  EXPECT_TRUE(window.OptionsForRun().crops.byPath.empty());
}

TEST_F(Preview, PositionsAreSavedAndLoadedAsACropFile) {
  PreviewWindow* preview = Open();
  ASSERT_NE(preview, nullptr);
  Drag(*preview, "tall.jpg", {0, -400});
  dialogs.cropPaths = {box.Path("crops.json")};
  Press(*preview, "saveButton");
  const CropFile saved = ParseCropFile(box.Read("crops.json"));
  ASSERT_FALSE(saved.error);
  EXPECT_EQ(saved.positions, (Positions{{"tall.jpg", 0.0}}));

  // A file for another folder: its listed photo is taken, the others named
  // by their count; what was chosen before is replaced.
  box.Write("other.json", "{\"sub/wide.jpg\": \"right\", \"gone.jpg\": 0.3, \"x.jpg\": 1}");
  // A malformed file changes nothing and names its line.
  box.Write("bad.json", "{\n  \"tall.jpg\": 0.2,\n  \"sub/wide.jpg\": 2\n}");
  dialogs.cropPaths = {box.Path("bad.json"), box.Path("other.json")};
  Press(*preview, "loadButton");
  EXPECT_EQ(window.OptionsForRun().crops.byPath, (Positions{{"tall.jpg", 0.0}}));
  Press(*preview, "loadButton");
  EXPECT_EQ(window.OptionsForRun().crops.byPath, (Positions{{"sub/wide.jpg", 1.0}}));
  EXPECT_EQ(dialogs.Texts("message"),
            (std::vector<std::string>{
                "トリミング位置を読み込めません。\n" + box.Path("bad.json") +
                    "\n3行目: 位置は 0 から 1 の数か \"top\" \"centre\" \"center\" \"bottom\" "
                    "\"left\" \"right\" です",
                "入力フォルダにない写真 2 枚の位置は使いません。"}));
}

TEST_F(Preview, TheBorderChoiceIsRememberedAndGivenToTheRun) {
  EXPECT_EQ(window.OptionsForRun().photo.fit, Fit::Trim);
  Trigger("fitBorderAction");
  EXPECT_EQ(window.OptionsForRun().photo.fit, Fit::Border);
  EXPECT_EQ(LoadWindowSettings(*OpenWindowSettings()).print.fit, Fit::Border);
  {
    MainWindow again(dialogs);
    EXPECT_EQ(again.OptionsForRun().photo.fit, Fit::Border);
    EXPECT_TRUE(again.findChild<QAction*>("fitBorderAction")->isChecked());
  }
  // The preview shows the paper: no crop to move.
  PreviewWindow* preview = Open();
  ASSERT_NE(preview, nullptr);
  EXPECT_FALSE(preview->findChild<QAbstractButton*>("topButton")->isEnabled());
  Drag(*preview, "tall.jpg", {0, 400});
  EXPECT_TRUE(window.OptionsForRun().crops.byPath.empty());
}

// The grid takes as many columns as the window's width holds, at every
// resize.
TEST_F(Preview, TheGridFollowsTheWindowsWidth) {
  for (int n = 0; n < 14; ++n)
    box.Write("in/" + std::to_string(n) + ".jpg", MakeJpeg(40, 30, CoordinatePixel));
  PreviewWindow* preview = Open();
  ASSERT_NE(preview, nullptr);
  QListView& list = preview->PhotoList();
  const auto top = [&](int row) { return list.visualRect(preview->Model().index(row)).top(); };
  const int pitch = list.visualRect(preview->Model().index(0)).width() + 8;
  for (const int width : {600, 1500, 900, 1500}) {
    preview->resize(width, 640);
    int columns = 0;
    while (columns < preview->Model().rowCount() && top(columns) == top(0)) ++columns;
    EXPECT_LE(columns * pitch, list.viewport()->width() + 8) << width;
    EXPECT_GT((columns + 2) * pitch, list.viewport()->width()) << width;
  }
}

// At scale 2 a thumbnail of ThumbnailSide view pixels takes twice the
// device pixels, and is decoded so.
TEST_F(Preview, ThumbnailsAreDecodedForThePixelRatio) {
  for (const auto& [ratio, side] : {std::pair{1.0, 150}, {2.0, 300}, {1.5, 225}}) {
    PreviewModel model({box.Path("in/sub/wide.jpg")}, box.Path("in"), L400, Fit::Trim, false);
    model.SetPixelRatio(ratio);
    QSignalSpy settled(&model, &PreviewModel::ThumbnailsSettled);
    model.SetVisibleRows(0, 0);
    model.Request(0);
    ASSERT_TRUE(settled.wait(30000));
    EXPECT_EQ(model.Photo(0).thumbnail.width(), side) << ratio;
  }
}

}  // namespace
}  // namespace quorvale::testing
