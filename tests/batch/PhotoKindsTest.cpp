// Runs of every photo kind: PNG and HEIC photos beside JPEG ones, colours
// made sRGB, and what a run counts of what it leaves as it is.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/BatchRun.h"
#include "codec/Colour.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "geometry/SizeTable.h"
#include "support/RunFixture.h"
#include "support/TestHeif.h"
#include "support/TestJpeg.h"
#include "support/TestPng.h"

namespace quorvale {
namespace {

using testing::MakeJpeg;
using Bytes = std::vector<std::uint8_t>;

class PhotoKindsTest : public testing::RunFixture {
 protected:
  Bitmap Decoded(const std::string& path) {
    Bitmap bitmap;
    EXPECT_EQ(LoadPhotoFile(path, bitmap).status, DecodeStatus::Decoded) << path;
    return bitmap;
  }
};

// Wide colours in blocks of 16 x 16.
testing::Rgb Blocks(int x, int y) {
  static const testing::Rgb colours[] = {{250, 20, 30},  {20, 230, 40},   {30, 40, 240},
                                         {200, 200, 20}, {128, 128, 128}, {240, 120, 200}};
  return colours[(x / 16 + y / 16 * 3) % 6];
}

Bytes AdobeLikeProfile() {
  return *ProfileFor({{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}, {0.3127, 0.3290}, 4});
}

// A PNG of the decoded pixels of a JPEG gives the JPEG's output, byte for
// byte, at every size and with either reduction. At 150 dpi the photo is
// larger than every size's box.
TEST_F(PhotoKindsTest, APngOfAJpegsPixelsGivesItsOutputAtEverySize) {
  const std::string jpeg = MakeJpeg(2200, 1560, testing::PhotoPixel);
  box.Write("in/a.jpg", jpeg);
  box.Write("in/b.png", testing::MakePng(Decoded(In("a.jpg"))));
  options.allPhotos = true;
  options.jobs = 2;
  window.photo.reduce = true;
  for (std::size_t row = 0; row < SizeTable().size(); ++row) {
    for (const bool highQuality : {false, true}) {
      const std::string out = std::string(SizeTable()[row].id) + (highQuality ? "-hq" : "-plain");
      SCOPED_TRACE(out);
      options.target = TargetSize({row, 150});
      options.outputFolder = box.Path(out);
      window.photo.highQuality = highQuality;
      ASSERT_EQ(Run().counts.saved, 2);
      EXPECT_EQ(box.Read(out + "/a.jpg"), box.Read(out + "/b.jpg"));
    }
  }
}

// With colours made sRGB, a photo of another RGB profile is saved as its
// pixels converted by lcms2 (its output carrying the sRGB profile when
// metadata is kept); any other photo's output is byte for byte that of a
// run that keeps the colours.
TEST_F(PhotoKindsTest, ColoursAreMadeSrgbOnlyWhereTheProfileAsks) {
  const Bytes unreadable(300, 0x5a);
  const struct {
    const char* name;
    Bytes icc;
    bool converted;
    bool warned;
  } rows[] = {
      {"adobe.jpg", AdobeLikeProfile(), true, false},
      {"none.jpg", {}, false, false},
      {"srgb.jpg", CompactSrgbProfile(), false, false},
      {"unreadable.jpg", unreadable, false, true},
  };
  for (const auto& row : rows) {
    box.Write("in/" + std::string(row.name), MakeJpeg(96, 64, Blocks, {.icc = row.icc}));
  }
  // A size of the photo's aspect: nothing is trimmed, so the photo is saved
  // as decoded.
  options.target = {96 * 5, 64 * 5};
  window.photo.skipSmall = false;
  ASSERT_EQ(Run().counts.saved, 4);
  options.outputFolder = box.Path("srgb");
  options.print.colourSrgb = true;
  const RunOutcome outcome = Run();
  ASSERT_EQ(outcome.counts.saved, 4);
  EXPECT_EQ(outcome.passedOver.profiles, 0);
  ASSERT_EQ(window.reports.size(), 2 * std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    const std::string name = rows[i].name;
    EXPECT_EQ(window.reports[std::size(rows) + i].warnings.profileUnreadable, rows[i].warned);
    if (!rows[i].converted) {
      EXPECT_EQ(box.Read("srgb/" + name), box.Read("out/" + name));
      continue;
    }
    Bitmap converted = Decoded(In(name));
    SrgbConversion::For(rows[i].icc).Convert(converted);
    const std::optional<Bytes> expected = EncodeJpeg(converted, window.photo.quality);
    ASSERT_TRUE(expected);
    EXPECT_EQ(box.Read("srgb/" + name), std::string(expected->begin(), expected->end()));
    EXPECT_NE(box.Read("srgb/" + name), box.Read("out/" + name));
  }
  options.outputFolder = box.Path("kept");
  options.print.keepMetadata = true;
  ASSERT_EQ(Run().counts.saved, 4);
  EXPECT_EQ(OpenPhotoFile(box.Path("kept/adobe.jpg")).reader->Header().icc, CompactSrgbProfile());
  EXPECT_EQ(OpenPhotoFile(box.Path("kept/srgb.jpg")).reader->Header().icc, CompactSrgbProfile());
}

// Photos of other kinds are read by their first bytes in a run of every
// kind, whatever their names; otherwise every file is read as a JPEG.
// Damaged ones are a per-file error and the run goes on.
TEST_F(PhotoKindsTest, EachFileIsReadByItsFirstBytesWhenEveryKindIsTaken) {
  box.Write("source.jpg", MakeJpeg(400, 300, testing::PhotoPixel));
  const Bitmap pixels = Decoded(box.Path("source.jpg"));
  const std::string png = testing::MakePng(pixels);
  const std::string heic = testing::MakeHeic(pixels);
  box.Write("in/a.png", png);
  box.Write("in/b.heic", heic);
  box.Write("in/c.jpg", png);  // a PNG by another name
  box.Write("in/d.png", png.substr(0, png.size() / 2));
  box.Write("in/e.heic", heic.substr(0, heic.size() / 2));
  const struct {
    const char* output;
    PhotoOutcome outcome;
  } rows[] = {{"a.jpg", PhotoOutcome::Saved},
              {"b.jpg", PhotoOutcome::Saved},
              {"c.jpg", PhotoOutcome::Saved},
              {"d.jpg", PhotoOutcome::Unreadable},
              {"e.jpg", PhotoOutcome::Unreadable}};
  window.photo.reduce = true;
  options.jobs = 2;
  options.allPhotos = true;
  const RunOutcome all = Run();
  EXPECT_EQ(all.counts.saved, 3);
  EXPECT_EQ(all.counts.errors, 2);
  ASSERT_EQ(window.reports.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].output);
    EXPECT_EQ(window.reports[i].outcome, rows[i].outcome);
    EXPECT_EQ(FileExists(Out(rows[i].output)), rows[i].outcome == PhotoOutcome::Saved);
  }
  // Without every kind the one ".jpg" name is listed, and fails as a JPEG.
  options.allPhotos = false;
  options.outputFolder = box.Path("jpeg");
  const RunOutcome jpeg = Run();
  EXPECT_EQ(jpeg.counts.errors, 1);
  EXPECT_EQ(jpeg.passedOver.pngNames, 2);
  EXPECT_EQ(jpeg.passedOver.heifNames, 2);
}

}  // namespace
}  // namespace quorvale
