// The print options of a run: photos turned upright, metadata and
// resolution carried into the outputs, modification times, existing outputs
// skipped, large photos, thumbnails and the dry run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "batch/BatchRun.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "geometry/SizeTable.h"
#include "platform/FileSystem.h"
#include "support/ExifBlock.h"
#include "support/Exiftool.h"
#include "support/Orientations.h"
#include "support/RunFixture.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::CameraExif;
using testing::ExiftoolValues;
using testing::ExifWithOrientation;
using testing::IccProfile;
using testing::MakeJpeg;
using testing::Orientations;
using testing::Rgb;
using testing::ShownAt;
using testing::ShownPixel;
using testing::Stored;
using testing::Summary;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;
using namespace testing::exif_tag;

class PrintRunTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    window.photo.skipSmall = false;
  }

  // Runs with the log and the reports of this run alone.
  RunOutcome Run() {
    window.log.clear();
    window.reports.clear();
    return RunFixture::Run();
  }
};

// The photo as shown: red grows to the right, green downwards, so any turn
// or mirror the wrong way changes most pixels by far more than JPEG does.
Rgb Shown(int x, int y) {
  return {static_cast<std::uint8_t>(x * 255 / 95), static_cast<std::uint8_t>(y * 255 / 63),
          static_cast<std::uint8_t>(128 + (x - y) / 2)};
}

constexpr int ShownWidth = 96;
constexpr int ShownHeight = 64;

std::string StoredPhoto(const Stored& o) {
  const int w = o.RowsAcross() ? ShownWidth : ShownHeight;
  const int h = o.RowsAcross() ? ShownHeight : ShownWidth;
  const auto pixel = [&](int x, int y) {
    const ShownPixel from = ShownAt(o, x, y, ShownWidth, ShownHeight);
    return Shown(from.x, from.y);
  };
  return MakeJpeg(
      w, h, pixel,
      {.quality = 95, .app1 = ExifWithOrientation(o.orientation, o.orientation % 2 == 0)});
}

int LargestDifference(const Bitmap& a, const Bitmap& b) {
  int largest = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int i = 0; i < a.Width() * 3; ++i)
      largest = std::max(largest, std::abs(a.Row(y)[i] - b.Row(y)[i]));
  }
  return largest;
}

// Each orientation, applied before the trim, gives the output of the photo
// stored upright: the same size, and pixels within what JPEG changes.
TEST_F(PrintRunTest, EveryOrientationGivesTheOutputOfThePhotoStoredUpright) {
  box.Write("in/upright.jpg", MakeJpeg(ShownWidth, ShownHeight, Shown, {.quality = 95}));
  for (const Stored& o : Orientations) {
    box.Write("in/o" + std::to_string(o.orientation) + ".jpg", StoredPhoto(o));
  }
  options.print.autoOrient = true;
  ASSERT_EQ(Run().counts.saved, 9);

  Bitmap upright;
  ASSERT_EQ(LoadPhotoFile(Out("upright.jpg"), upright).status, DecodeStatus::Decoded);
  const PixelSize crop = ComputeTrimSize(ShownWidth, ShownHeight, options.target);
  EXPECT_EQ(upright.Width(), crop.width);
  EXPECT_EQ(upright.Height(), crop.height);
  for (const Stored& o : Orientations) {
    SCOPED_TRACE(o.orientation);
    Bitmap turned;
    ASSERT_EQ(LoadPhotoFile(Out("o" + std::to_string(o.orientation) + ".jpg"), turned).status,
              DecodeStatus::Decoded);
    ASSERT_EQ(turned.Width(), upright.Width());
    ASSERT_EQ(turned.Height(), upright.Height());
    EXPECT_LE(LargestDifference(turned, upright), 12);
  }
  for (const PhotoReport& report : window.reports) {
    EXPECT_EQ(report.decoded, (PixelSize{ShownWidth, ShownHeight})) << report.input;
  }

  // Without the option a photo keeps its stored axes, and so its crop.
  options.print.autoOrient = false;
  fs::remove_all(Out(""));
  Run();
  Bitmap sideways;
  ASSERT_EQ(LoadPhotoFile(Out("o6.jpg"), sideways).status, DecodeStatus::Decoded);
  EXPECT_EQ(sideways.Width(), ComputeTrimSize(ShownHeight, ShownWidth, options.target).width);
}

TEST_F(PrintRunTest, KeepsExifAndTheProfileAsExiftoolReadsThem) {
  box.Write("in/phone.jpg",
            MakeJpeg(403, 302, testing::PhotoPixel,
                     {.quality = 90, .app1 = CameraExif(6, 403, 302), .icc = IccProfile()}));
  options.print.autoOrient = true;
  options.print.keepMetadata = true;
  options.print.dpi = 300;
  ASSERT_EQ(Run().counts.saved, 1);

  // Shown upright the photo is 302 x 403; L's portrait aspect cuts rows.
  const PixelSize crop = ComputeTrimSize(302, 403, options.target);
  const Strings tags = {
      "IFD0:Orientation",         "ExifIFD:ExifImageWidth", "ExifIFD:ExifImageHeight",
      "File:ImageWidth",          "File:ImageHeight",       "IFD0:Make",
      "ExifIFD:DateTimeOriginal", "IFD1:ThumbnailLength",   "ICC_Profile:ProfileCopyright",
      "JFIF:ResolutionUnit",      "JFIF:XResolution",       "JFIF:YResolution",
      "IFD0:ResolutionUnit",      "IFD0:XResolution",       "IFD0:YResolution",
      "ExifTool:Warning"};
  const std::string width = std::to_string(crop.width);
  const std::string height = std::to_string(crop.height);
  EXPECT_EQ(
      ExiftoolValues(Out("phone.jpg"), tags),
      (Strings{"1", width, height, width, height, "Quorvale Test Camera", "2024:05:01 10:20:30",
               "-", "Quorvale wide gamut", "1", "300", "300", "2", "300", "300", "-"}));

  // Not turned, the photo keeps its orientation for the viewer to apply.
  options.print.autoOrient = false;
  Run();
  const PixelSize stored = ComputeTrimSize(403, 302, options.target);
  EXPECT_EQ(ExiftoolValues(Out("phone.jpg"), {"IFD0:Orientation", "ExifIFD:ExifImageWidth"}),
            (Strings{"6", std::to_string(stored.width)}));
}

TEST_F(PrintRunTest, AMalformedExifBlockIsLeftOutWithAWarning) {
  Bytes broken = CameraExif(1, 64, 48);
  broken[6 + 4] = 0x7F;  // IFD0 far past the block
  box.Write("in/a.jpg", MakeJpeg(64, 48, testing::PhotoPixel,
                                 {.quality = 90, .app1 = broken, .icc = IccProfile()}));
  options.print.keepMetadata = true;
  ASSERT_EQ(Run().counts.saved, 1);
  EXPECT_EQ(ExiftoolValues(Out("a.jpg"), {"EXIF:Make", "ICC_Profile:ProfileCopyright"}),
            (Strings{"-", "Quorvale wide gamut"}));
  ASSERT_EQ(window.reports.size(), 1u);
  EXPECT_TRUE(window.reports[0].warnings.exifMalformed);
  EXPECT_EQ(window.log, Strings{In("a.jpg")}) << "the log is as without the option";
}

// Every output is RGB: a profile for other data would make colour-managed
// viewers reject it or misread its colours.
TEST_F(PrintRunTest, OnlyAnRgbProfileIsKept) {
  Bytes shortProfile = IccProfile();
  shortProfile.resize(100);
  box.Write("in/a-rgb.jpg", MakeJpeg(64, 48, testing::PhotoPixel, {.icc = IccProfile()}));
  box.Write("in/b-gray.jpg",
            MakeJpeg(64, 48, testing::PhotoPixel, {.grayscale = true, .icc = IccProfile("GRAY")}));
  box.Write("in/c-cmyk.jpg",
            MakeJpeg(64, 48, testing::PhotoPixel, {.cmyk = true, .icc = IccProfile("CMYK")}));
  box.Write("in/d-short.jpg", MakeJpeg(64, 48, testing::PhotoPixel, {.icc = shortProfile}));
  options.print.keepMetadata = true;
  ASSERT_EQ(Run().counts.saved, 4);
  const struct {
    const char* name;
    const char* copyright;
    const char* space;
  } rows[] = {{"a-rgb.jpg", "Quorvale wide gamut", nullptr},
              {"b-gray.jpg", "-", "GRAY"},
              {"c-cmyk.jpg", "-", "CMYK"},
              {"d-short.jpg", "-", "unreadable"}};
  ASSERT_EQ(window.reports.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(ExiftoolValues(Out(rows[i].name), {"ICC_Profile:ProfileCopyright"}),
              Strings{rows[i].copyright});
    EXPECT_EQ(window.reports[i].warnings.iccDropped, rows[i].space ? rows[i].space : "");
  }
}

TEST_F(PrintRunTest, OutputsTakeTheModificationTimesOfTheirPhotos) {
  box.Write("in/a.jpg", MakeJpeg(64, 48, testing::PhotoPixel));
  box.Write("in/sub/b.jpg", MakeJpeg(48, 64, testing::PhotoPixel));
  const struct timespec taken[2] = {{0, UTIME_OMIT}, {1262304000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, In("a.jpg").c_str(), taken, 0), 0);
  options.print.keepTimes = true;
  ASSERT_EQ(Run().counts.saved, 2);
  struct stat a {
  }, b{}, inB{};
  ASSERT_EQ(stat(Out("a.jpg").c_str(), &a), 0);
  ASSERT_EQ(stat(Out("sub/b.jpg").c_str(), &b), 0);
  ASSERT_EQ(stat(In("sub/b.jpg").c_str(), &inB), 0);
  EXPECT_EQ(a.st_mtim.tv_sec, 1262304000);
  EXPECT_EQ(a.st_mtim.tv_nsec, 987654321);
  EXPECT_EQ(b.st_mtim.tv_sec, inB.st_mtim.tv_sec);
  EXPECT_EQ(b.st_mtim.tv_nsec, inB.st_mtim.tv_nsec);
}

// A run stopped after two photos, done again with existing outputs skipped:
// the two are left as they are, the rest are written, each photo once.
TEST_F(PrintRunTest, SkippingExistingOutputsFinishesAStoppedRun) {
  const Strings names = {"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
  for (const std::string& name : names)
    box.Write("in/" + name, MakeJpeg(64, 48, testing::PhotoPixel));
  window.onPhotoStarted = [this] {
    if (window.reports.size() == 2) window.stop.request_stop();
  };
  options.print.skipExisting = true;
  const RunOutcome first = Run();
  EXPECT_TRUE(first.stopped);
  EXPECT_EQ(first.counts.saved, 2);
  ASSERT_TRUE(fs::exists(Out("b.jpg")));
  ASSERT_FALSE(fs::exists(Out("c.jpg")));

  // Mark what the first run wrote, to see that the second leaves it alone.
  const struct timespec old[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
  struct stat before {};
  for (const char* name : {"a.jpg", "b.jpg"}) {
    ASSERT_EQ(utimensat(AT_FDCWD, Out(name).c_str(), old, 0), 0);
  }
  ASSERT_EQ(stat(Out("a.jpg").c_str(), &before), 0);

  window.onPhotoStarted = nullptr;
  const RunOutcome second = Run();
  EXPECT_FALSE(second.stopped);
  EXPECT_EQ(second.counts, (RunCounts{2, 0, 2}));
  const std::string skipLine = "同名のJPEGファイルが存在するのでスキップ";
  EXPECT_EQ(window.log,
            (Strings{In("a.jpg"), skipLine, In("b.jpg"), skipLine, In("c.jpg"), In("d.jpg")}));
  EXPECT_TRUE(window.questions.empty()) << "skipping asks nothing";
  ASSERT_EQ(window.reports.size(), 4u);
  EXPECT_EQ(window.reports[0].outcome, PhotoOutcome::SkippedExisting);
  EXPECT_EQ(window.reports[0].output, Out("a.jpg"));
  EXPECT_EQ(window.reports[2].outcome, PhotoOutcome::Saved);
  for (const char* name : {"a.jpg", "b.jpg"}) {
    struct stat after {};
    ASSERT_EQ(stat(Out(name).c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, 1000000000) << name << " was written again";
  }
  struct stat a {};
  ASSERT_EQ(stat(Out("a.jpg").c_str(), &a), 0);
  EXPECT_EQ(a.st_ino, before.st_ino);
  for (const std::string& name : names) EXPECT_TRUE(fs::exists(Out(name))) << name;
}

// An output cut short (a power cut before its data reached the disk) is no
// finished photo: a run skipping existing outputs makes it again, asking
// nothing.
TEST_F(PrintRunTest, SkippingExistingOutputsRedoesOneCutShort) {
  const std::string photo = MakeJpeg(64, 48, testing::PhotoPixel);
  box.Write("in/a.jpg", photo);
  box.Write("out/a.jpg", photo.substr(0, photo.size() / 2));
  options.print.skipExisting = true;
  EXPECT_EQ(Run().counts.saved, 1);
  EXPECT_TRUE(window.questions.empty());
  EXPECT_TRUE(EndsWithEndOfImage(Out("a.jpg")));
}

// A name taken by another writer at the moment of the link (here a dangling
// link, which no existence check sees) is never replaced in silence: it is
// the same-name question, or a skip when existing outputs are skipped.
TEST_F(PrintRunTest, ANameTakenAtTheLinkIsTheSameNameQuestionOrASkip) {
  box.Write("in/a.jpg", MakeJpeg(64, 48, testing::PhotoPixel));
  fs::create_directories(Out(""));
  ASSERT_EQ(symlink("elsewhere.jpg", Out("a.jpg").c_str()), 0);
  const auto untouched = [&] { return fs::is_symlink(Out("a.jpg")); };

  window.answers = {true};
  EXPECT_TRUE(Run().stopped);
  EXPECT_EQ(window.questionKinds, std::vector<Question>{Question::SameName});
  EXPECT_TRUE(untouched());

  options.print.skipExisting = true;
  EXPECT_EQ(Run().counts.skipped, 1);
  EXPECT_EQ(window.reports.at(0).outcome, PhotoOutcome::SkippedExisting);
  EXPECT_TRUE(untouched());

  options.print.skipExisting = false;
  window.answers = {false};
  EXPECT_EQ(Run().counts.saved, 1) << "answered No, the run goes on and replaces it";
  EXPECT_FALSE(untouched());
}

// 8064 x 6048, as 48-megapixel phones take them: the crop is 8064 wide.
TEST_F(PrintRunTest, LargePhotosAreTrimmedAndReducedOnlyWhenAllowed) {
  box.Write("in/large.jpg", MakeJpeg(8064, 6048, [](int x, int y) {
              return Rgb{static_cast<std::uint8_t>(x / 32), static_cast<std::uint8_t>(y / 24), 90};
            }));
  window.photo.reduce = true;
  window.photo.highQuality = true;
  const RunOutcome refused = Run();
  EXPECT_EQ(refused.counts.errors, 1);
  EXPECT_EQ(window.log, (Strings{In("large.jpg"), "トリミング失敗"}));
  EXPECT_FALSE(fs::exists(Out("large.jpg")));

  options.print.largePhotos = true;
  const RunOutcome reduced = Run();
  EXPECT_EQ(reduced.counts.saved, 1);
  ASSERT_EQ(window.reports.size(), 1u);
  const PhotoReport& report = window.reports[0];
  EXPECT_EQ(report.crop, (PixelSize{8064, 5648}));
  EXPECT_EQ(report.saved, (PixelSize{2000, 1401}));
  EXPECT_FALSE(report.warnings.declined) << "the high-quality reduction took it";
  Bitmap output;
  ASSERT_EQ(LoadPhotoFile(Out("large.jpg"), output).status, DecodeStatus::Decoded);
  EXPECT_EQ(output.Width(), 2000);
  EXPECT_EQ(output.Height(), 1401);
}

TEST_F(PrintRunTest, ADryRunWritesNothingButReportsEverySizeAndThumbnail) {
  box.Write("in/a.jpg", MakeJpeg(400, 300, testing::PhotoPixel));
  box.Write("in/sub/b.jpg", MakeJpeg(300, 400, testing::PhotoPixel));
  box.Write("in/c.jpg", "not a photo");
  window.photo.reduce = true;
  options.target = {200, 140};
  options.print.dryRun = true;
  options.print.thumbnails = true;
  options.print.keepMetadata = true;
  options.print.keepTimes = true;
  const RunOutcome outcome = Run();
  EXPECT_EQ(outcome.counts.saved, 2);
  EXPECT_EQ(outcome.counts.errors, 1);
  EXPECT_FALSE(fs::exists(Out(""))) << "no folder is made";

  ASSERT_EQ(window.reports.size(), 3u);
  const PhotoReport& a = window.reports[0];
  EXPECT_EQ(a.decoded, (PixelSize{400, 300}));
  EXPECT_EQ(a.crop, ComputeTrimSize(400, 300, options.target));
  EXPECT_EQ(a.saved, (PixelSize{200, 140}));
  EXPECT_EQ(a.thumbnailSize, (PixelSize{200, 150}));
  ASSERT_GT(a.thumbnail.size(), 4u);
  EXPECT_EQ(a.thumbnail[0], 0xFF);
  EXPECT_EQ(a.thumbnail[1], 0xD8);
  // The files of a folder come before its subfolders.
  EXPECT_EQ(window.reports[1].outcome, PhotoOutcome::Unreadable);
  EXPECT_TRUE(window.reports[1].thumbnail.empty());
  EXPECT_EQ(window.reports[2].input, In("sub/b.jpg"));
  EXPECT_EQ(window.reports[2].thumbnailSize, (PixelSize{150, 200}));
}

// With every print option off, nothing the run does differs: no thumbnail
// is made and the bytes are those of the plain encode.
TEST_F(PrintRunTest, OffByDefault) {
  EXPECT_EQ(options.print, PrintOptions{});
  box.Write("in/a.jpg",
            MakeJpeg(64, 48, testing::PhotoPixel,
                     {.quality = 90, .app1 = CameraExif(6, 64, 48), .icc = IccProfile()}));
  ASSERT_EQ(Run().counts.saved, 1);
  EXPECT_TRUE(window.reports[0].thumbnail.empty());
  Bitmap photo;
  ASSERT_EQ(LoadPhotoFile(In("a.jpg"), photo).status, DecodeStatus::Decoded);
  const PixelSize crop = ComputeTrimSize(64, 48, options.target);
  photo.Crop((64 - crop.width) / 2, (48 - crop.height) / 2, crop.width, crop.height);
  const std::optional<std::vector<std::uint8_t>> plain = EncodeJpeg(photo, 90);
  ASSERT_TRUE(plain);
  EXPECT_EQ(box.Read("out/a.jpg"), std::string(plain->begin(), plain->end()));
}

// The paths opened while OpensOf counts, from whichever thread opens them.
std::mutex openedMutex;
std::map<std::string, int> opened;

void CountOpen(const std::string& path) {
  const std::lock_guard lock(openedMutex);
  ++opened[path];
}

// With every option that reads a photo on (turned upright, metadata kept,
// its resolution written, reduced, its time kept, a thumbnail for the
// report, existing outputs skipped), each photo is opened once by path, at
// one job and at two: its header, metadata and pixels come from that one
// reading. A photo whose output is there already is not opened at all.
TEST_F(PrintRunTest, EachPhotoIsOpenedOnceByPath) {
  const Stored& turned = Orientations[5];
  for (const char* name : {"a.jpg", "sub/b.jpg", "c.jpg", "done.jpg"}) {
    box.Write(std::string("in/") + name, StoredPhoto(turned));
  }
  box.Write("in/plain.jpg", MakeJpeg(ShownWidth, ShownHeight, Shown, {.icc = IccProfile("RGB ")}));
  options.print = {.autoOrient = true,
                   .keepMetadata = true,
                   .dpi = 300,
                   .keepTimes = true,
                   .skipExisting = true,
                   .thumbnails = true};
  window.photo.reduce = true;
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(std::to_string(jobs) + " jobs");
    fs::remove_all(Out(""));
    box.Write("out/done.jpg", MakeJpeg(8, 8, Shown));
    options.jobs = jobs;
    opened.clear();
    ObserveOpens(CountOpen);
    const RunOutcome outcome = Run();
    ObserveOpens(nullptr);
    EXPECT_EQ(outcome.counts, (RunCounts{4, 0, 1}));
    for (const char* name : {"a.jpg", "sub/b.jpg", "c.jpg", "plain.jpg", "done.jpg"}) {
      EXPECT_EQ(opened[In(name)], std::string(name) == "done.jpg" ? 0 : 1) << name;
    }
  }
}

}  // namespace
}  // namespace quorvale
