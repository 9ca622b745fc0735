// The print options driven through the window's menu and seen on the
// outputs; the remembered settings; the keys; the time left.

#include <fcntl.h>
#include <sys/stat.h>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "app/WindowTest.h"
#include "geometry/SizeTable.h"
#include "support/ExifBlock.h"
#include "support/Exiftool.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class PrintOptions : public WindowTest {
 protected:
  // A phone photo stored sideways (Exif orientation 6), with a profile.
  void PhonePhoto() {
    box.Write("in/a.jpg",
              MakeJpeg(403, 302, PhotoPixel,
                       {.quality = 90, .app1 = CameraExif(6, 403, 302), .icc = IccProfile()}));
    box.Fill({"out/"});
    BrowseInput(box.Path("in"));
    BrowseOutput(box.Path("out"));
  }
  std::string Crop(int width, int height) {
    const PixelSize crop = ComputeTrimSize(width, height, {2000, 1401});
    return std::to_string(crop.width) + "x" + std::to_string(crop.height);
  }
};

// Each item on, then all off again: the output shows each alone, and the
// last row is the plain output again.
TEST_F(PrintOptions, EachMenuItemReachesTheRunAndGoesOffAgain) {
  const Lines tags = {"Composite:ImageSize",          "IFD0:Orientation",    "IFD0:Make",
                      "ICC_Profile:ProfileCopyright", "JFIF:ResolutionUnit", "JFIF:XResolution"};
  const struct {
    const char* action;
    Lines values;
    bool photosTime;
  } rows[] = {
      {"autoOrientAction", {Crop(302, 403), "-", "-", "-", "0", "1"}, false},
      {"keepMetadataAction",
       {Crop(403, 302), "6", "Quorvale Test Camera", "Quorvale wide gamut", "0", "1"},
       false},
      {"writeDpiAction", {Crop(403, 302), "-", "-", "-", "1", "400"}, false},
      {"keepTimesAction", {Crop(403, 302), "-", "-", "-", "0", "1"}, true},
      {nullptr, {Crop(403, 302), "-", "-", "-", "0", "1"}, false},
  };
  PhonePhoto();
  const struct timespec taken[2] = {{0, UTIME_OMIT}, {1262304000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, box.Path("in/a.jpg").c_str(), taken, 0), 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.action ? row.action : "no option");
    fs::remove(box.Path("out/a.jpg"));
    if (row.action) Trigger(row.action);
    PressRunAndWait();
    Lines values = ExiftoolValues(box.Path("out/a.jpg"), tags);
    std::replace(values[0].begin(), values[0].end(), ' ', 'x');
    EXPECT_EQ(values, row.values);
    struct stat out {};
    ASSERT_EQ(stat(box.Path("out/a.jpg").c_str(), &out), 0);
    EXPECT_EQ(out.st_mtim.tv_sec == 1262304000 && out.st_mtim.tv_nsec == 987654321, row.photosTime);
    if (row.action) Trigger(row.action);  // off again
  }
}

// Ask (as today), skip and overwrite an existing output.
TEST_F(PrintOptions, AnExistingOutputIsAskedAboutSkippedOrReplaced) {
  PhonePhoto();
  // Ends as a complete JPEG does, so that skipping takes it as done.
  const std::string earlier = "earlier output\xFF\xD9";
  box.Write("out/a.jpg", earlier);
  dialogs.answers = {true};
  PressRunAndWait();
  ASSERT_EQ(dialogs.Texts("yesno").size(), 1u);
  EXPECT_EQ(box.Read("out/a.jpg"), earlier);

  Trigger("existingSkipAction");
  PressRunAndWait();
  EXPECT_EQ(LogLines(), Logged({{box.Path("in/a.jpg"), PhotoOutcome::SkippedExisting}}));
  EXPECT_EQ(box.Read("out/a.jpg"), earlier);

  Trigger("existingOverwriteAction");
  PressRunAndWait();
  EXPECT_EQ(dialogs.Texts("yesno").size(), 1u) << "replaced without asking";
  EXPECT_EQ(box.Read("out/a.jpg").substr(0, 2), "\xFF\xD8");
}

TEST_F(PrintOptions, TheMenuItemsReachTheRunAndTheFrameIsShown) {
  const struct {
    std::vector<const char*> chosen;  // menu items, or size buttons
    bool allJpegNames;
    bool allPhotos;  // with the upright photos and sRGB of the phone's item
    Fit fit;
    int margin;  // pixels
    const char* shown;
  } cases[] = {
      {{}, false, false, Fit::Trim, 0, ""},
      {{"allJpegNamesAction"}, true, false, Fit::Trim, 0, ""},
      {{"phoneAction"}, false, true, Fit::Trim, 0, ""},
      {{"phoneAction", "phoneAction"}, false, false, Fit::Trim, 0, ""},
      {{"fitBorderAction"}, false, false, Fit::Border, 48, "フチあり（フチの幅 3 mm）"},  // at 400
                                                                                          // dpi
      {{"fitBorderAction", "margin5Action"},
       false,
       false,
       Fit::Border,
       79,
       "フチあり（フチの幅 5 mm）"},
      {{"fitBorderAction", "margin0Action"},
       false,
       false,
       Fit::Border,
       0,
       "フチあり（フチの幅なし）"},
      {{"fitBorderAction", "sizeVgaButton"},
       false,
       false,
       Fit::Border,
       3,
       "フチあり（フチの幅 3 px）"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    FirstStart fresh;
    ScriptedDialogs otherDialogs;
    MainWindow other(otherDialogs);
    for (const char* name : c.chosen) {
      if (auto* action = other.findChild<QAction*>(name)) {
        action->trigger();
      } else {
        other.findChild<QAbstractButton*>(name)->click();
      }
    }
    const RunOptions options = other.OptionsForRun();
    EXPECT_EQ(options.allJpegNames, c.allJpegNames);
    EXPECT_EQ(options.allPhotos, c.allPhotos);
    EXPECT_EQ(options.print.autoOrient, c.allPhotos);
    EXPECT_EQ(options.print.colourSrgb, c.allPhotos);
    EXPECT_EQ(options.photo.fit, c.fit);
    EXPECT_EQ(options.photo.margin, c.margin);
    auto* line = other.findChild<QLabel*>("fitIndicator");
    EXPECT_EQ(line->isVisibleTo(&other) ? line->text().toStdString() : "", c.shown);
  }
}

TEST_F(PrintOptions, TheLogNamesWhatTheRunPassedOverAndTheDamageAsTheCommandLineDoes) {
  const std::string photo = MakeJpeg(400, 300, PhotoPixel);
  box.Write("in/a.jpg", MakeJpeg(400, 300, PhotoPixel, {.exif = true}));
  // Other kinds are read by their first bytes: JPEG bytes will do.
  for (const char* name : {"b.jpeg", "d.heic", "e.png"})
    box.Write(std::string("in/") + name, photo);
  box.Write("in/c.jpg", photo.substr(0, photo.size() / 2));
  box.Fill({"out/"});
  const Lines files = PassedOverTexts({.otherJpegNames = 1, .heifNames = 1, .pngNames = 1}, {});
  const Lines photos = PassedOverTexts({.orientations = 1}, {});
  ASSERT_EQ(files.size(), 3u);
  BrowseInput(box.Path("in"));
  BrowseOutput(box.Path("out"));
  Lines expected{box.Path("in/a.jpg"), box.Path("in/c.jpg")};
  expected.insert(expected.end(), files.begin(), files.end());
  EXPECT_EQ(LogLines(), expected);

  PressRunAndWait();
  Lines log = LogLines();
  ASSERT_EQ(log.size(), 8u);
  EXPECT_EQ(log[2], "破損したデータを補って保存しました");
  EXPECT_NE(log[3].find("Premature end of JPEG file"), std::string::npos) << log[3];
  EXPECT_EQ(Lines(log.begin() + 4, log.end()), (Lines{files[0], files[1], files[2], photos[0]}));

  Trigger("phoneAction");
  for (const char* item : {"autoOrientAction", "colourSrgbAction", "allPhotosAction"}) {
    EXPECT_TRUE(window.findChild<QAction*>(item)->isChecked()) << item;
  }
  Trigger("existingOverwriteAction");
  PressRunAndWait();
  log = LogLines();
  EXPECT_EQ(log[1], box.Path("in/b.jpeg"));
  EXPECT_EQ(log.size(), 7u);  // five photos, and the damage's two lines
  for (const char* output : {"b.jpg", "d.jpg", "e.jpg"}) {
    EXPECT_TRUE(fs::exists(box.Path(std::string("out/") + output))) << output;
  }
}

TEST_F(PrintOptions, TheReportIsWrittenAndOpenedAndTheTimeLeftShown) {
  PhonePhoto();
  dialogs.savePaths = {box.Path("report.html")};
  Trigger("writeReportAction");
  Trigger("openReportAction");
  QString progress;
  dialogs.onBox = [&](const ScriptedDialogs::Box&) {
    progress = Control<QProgressBar>("progressBar")->text();
  };
  PressRunAndWait();
  EXPECT_TRUE(progress.startsWith("100%　経過 0:")) << progress.toStdString();
  EXPECT_TRUE(progress.contains("　残り 0:00")) << progress.toStdString();
  EXPECT_NE(box.Read("report.html").find(box.Path("in/a.jpg")), std::string::npos);
  EXPECT_EQ(dialogs.urls, Lines{"file://" + box.Path("report.html")});
}

TEST_F(PrintOptions, SettingsAreRememberedAndTheControlsOnlyWhenAsked) {
  PhonePhoto();
  Trigger("keepMetadataAction");
  Trigger("reopenLastAction");
  Button("sizeVgaButton")->click();
  Control<QSlider>("qualitySlider")->setValue(75);
  window.close();
  const WindowControls left = window.Controls();
  EXPECT_EQ(left.size, "vga");

  const auto reopened = [&](auto check) {
    ScriptedDialogs otherDialogs;
    MainWindow other(otherDialogs);
    check(other);
    other.close();
  };
  reopened([&](MainWindow& other) {
    EXPECT_EQ(other.Controls(), left);
    EXPECT_EQ(other.LastScan().JpegCount, 1);
    other.findChild<QAction*>("reopenLastAction")->trigger();
  });
  reopened([&](MainWindow& other) {
    EXPECT_EQ(other.Controls(), WindowControls{}) << "opens as today";
    EXPECT_TRUE(other.findChild<QAction*>("keepMetadataAction")->isChecked());
  });
}

TEST_F(PrintOptions, ResetRestoresEverything) {
  PhonePhoto();
  Trigger("autoOrientAction");
  Trigger("reopenLastAction");
  Button("reduceCheck")->click();
  dialogs.answers = {true};
  Trigger("resetSettingsAction");
  EXPECT_TRUE(dialogs.boxes.back().noByDefault);  // Enter keeps the settings
  EXPECT_EQ(window.Controls(), WindowControls{});
  EXPECT_FALSE(Enabled("reductionGroup"));
  EXPECT_FALSE(Enabled("newSubfolderButton"));
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(LoadWindowSettings(*OpenWindowSettings()), WindowSettings{});
}

TEST_F(PrintOptions, EnterPressesTheFocusedButtonAndEscapeCancelsARun) {
  Button("browseInputButton")->setFocus();
  QTest::keyClick(Button("browseInputButton"), Qt::Key_Return);
  EXPECT_EQ(dialogs.browses, 1);

  box.Fill({"in/a.jpg"});  // text, not a photo: a question
  box.Write("in/b.jpg", MakeJpeg(64, 48, PhotoPixel));
  box.Fill({"out/"});
  BrowseInput(box.Path("in"));
  BrowseOutput(box.Path("out"));
  QTest::keyClick(&window, Qt::Key_Escape);  // no run: nothing happens
  EXPECT_FALSE(window.CancelRequested());
  dialogs.onBox = [&](const ScriptedDialogs::Box& shown) {
    if (shown.kind == "yesno") QTest::keyClick(Control<QWidget>("logView"), Qt::Key_Escape);
  };
  PressRunAndWait();
  EXPECT_TRUE(window.CancelRequested());
  EXPECT_FALSE(fs::exists(box.Path("out/b.jpg")));
}

}  // namespace
}  // namespace quorvale::testing
