#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "codec/JpegReader.h"
#include "codec/PhotoReader.h"
#include "geometry/TrimPosition.h"
#include "pixels/Reduction.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::JpegScan;
using testing::MakeJpeg;
using testing::TestJpegOptions;

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// Many features per block, so that a chroma sample or a DC value taken from
// the wrong neighbour shows.
testing::Rgb Busy(int x, int y) {
  return testing::PhotoPixel(x * 7, y * 5);
}

// Grey 6 lies between two levels of the quantizer: its error diffusion draws
// a pattern of 5 and 7 over the whole picture.
testing::Rgb BetweenLevels(int, int) {
  return {6, 6, 6};
}

bool SameAs(const Bitmap& full, const PixelRect& r, const Bitmap& region) {
  if (region.Width() != r.width || region.Height() != r.height) return false;
  for (int y = 0; y < r.height; ++y) {
    if (std::memcmp(region.Row(y), full.Row(r.top + y) + 3 * r.left, 3 * r.width) != 0)
      return false;
  }
  return true;
}

// A progressive file never refined, and files cut short in their scans (keep
// < 1), leave coefficients to block smoothing, which reads the blocks around.
const std::vector<JpegScan> Unrefined = {
    {{0, 1, 2}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 2}, {{1}, 1, 63, 0, 2}, {{2}, 1, 63, 0, 2}};
const struct {
  const char* name;
  TestJpegOptions options;
  double keep = 1;
  testing::PixelFunction pixel = Busy;
} Kinds[] = {
    {"4:2:0", {}},
    {"4:2:2", {.lumaH = 2, .lumaV = 1}},
    {"4:4:4", {.lumaH = 1, .lumaV = 1}},
    {"4:4:0", {.lumaH = 1, .lumaV = 2}},
    {"grey", {.grayscale = true}},
    {"grey between levels", {.grayscale = true}, 1, BetweenLevels},
    {"grey progressive", {.grayscale = true, .progressive = true}},
    {"cmyk", {.cmyk = true}},
    {"progressive", {.progressive = true}},
    {"progressive unrefined", {.progressive = true, .scans = Unrefined}},
    {"progressive cut short", {.progressive = true}, 0.45},
    {"progressive 4:4:4 cut short", {.progressive = true, .lumaH = 1, .lumaV = 1}, 0.45},
    {"restart markers", {.restartRows = 1}},
    {"arithmetic", {.arithmetic = true}},
    {"arithmetic progressive", {.progressive = true, .arithmetic = true}},
};

// The trims of every size at 400 and 150 dpi at both ends and the centre of
// the free axis, on odd photos of both orientations, and rectangles no trim
// makes: the whole, a corner pixel, strips, an inner block.
TEST(RegionDecode, GivesTheWholeDecodesPixelsOfEveryRegion) {
  for (const auto& kind : Kinds) {
    for (const auto& [w, h] : {std::pair{401, 227}, {227, 401}, {17, 9}}) {
      if (kind.keep < 1 && w < 100) continue;  // a tiny file cut short loses tables
      std::string bytes = MakeJpeg(w, h, kind.pixel, kind.options);
      const std::size_t scans = bytes.find("\xFF\xDA");
      bytes.resize(scans + static_cast<std::size_t>((bytes.size() - scans) * kind.keep));
      Bitmap full;
      ASSERT_EQ(DecodeJpegMemory(Span(bytes), full).status, DecodeStatus::Decoded) << kind.name;
      std::set<std::tuple<int, int, int, int>> rects = {{0, 0, w, h},
                                                        {w - 1, h - 1, 1, 1},
                                                        {0, h / 2, w / 3, h - h / 2},
                                                        {w / 2, 0, w - w / 2, h / 3},
                                                        {w / 3, h / 3, w / 4 + 1, h / 4 + 1}};
      for (std::size_t size = 0; size < SizeTable().size(); ++size) {
        for (const double position : {0.0, 0.5, 1.0}) {
          for (const int dpi : {400, 150}) {
            const PixelRect r = ComputeTrimRect(w, h, TargetSize({size, dpi}), position);
            rects.insert({r.left, r.top, r.width, r.height});
          }
        }
      }
      for (const auto& [left, top, width, height] : rects) {
        const PixelRect rect{left, top, width, height};
        Bitmap region;
        const DecodeResult result = DecodeJpegMemory(Span(bytes), region, {}, rect);
        ASSERT_TRUE(result.status == DecodeStatus::Decoded && SameAs(full, rect, region))
            << kind.name << " " << w << "x" << h << " at " << left << "," << top << " " << width
            << "x" << height << ": " << result.reason;
        // Reduced as its rows come, the region is what its whole bitmap
        // reduces to, high quality or (declined, or not asked) plain; a
        // plain reduction to a quarter passes over runs of rows.
        if (w != 401) continue;
        const PixelSize twoThirds{std::max(1, width * 2 / 3), std::max(1, height * 2 / 3)};
        const PixelSize quarter{std::max(1, width / 4), std::max(1, height / 4)};
        for (const auto& [box, highQuality] :
             {std::pair{twoThirds, false}, {twoThirds, true}, {quarter, false}}) {
          Bitmap expected = region;
          ReductionScratch scratch;
          const ReduceResult whole =
              ReducePhoto(expected, scratch, box.width, box.height, highQuality, {});
          Bitmap streamed;
          ReducingSink sink(streamed, box, highQuality);
          ASSERT_TRUE(DecodeJpegMemory(Span(bytes), sink, {}, rect).Ok());
          EXPECT_TRUE(SameAs(expected, {0, 0, box.width, box.height}, streamed) &&
                      sink.Declined() == whole.declined)
              << kind.name << " at " << left << "," << top << " " << width << "x" << height
              << (highQuality ? " high quality" : " plain");
        }
      }
    }
  }
}

// A sink with no use for two rows in three is given the rows it wants and,
// of the others, only those that start an iMCU row of the file (counted
// from the file's top, not the region's), where libjpeg would skip them by
// another path. (That the rows given are the whole decode's, and every row
// of a quantized grey picture, is checked above.)
TEST(RegionDecode, PassesOverRowsTheSinkDoesNotWant) {
  struct EveryThirdRow : RowSink {
    void Start(int, int, std::size_t bytes) override { row.resize(bytes); }
    std::uint8_t* RowFor(int) override { return row.data(); }
    void RowDone(int y, const std::uint8_t*) override { given.insert(y); }
    bool Wants(int y) const override { return y % 3 == 0; }
    std::vector<std::uint8_t> row;
    std::set<int> given;
  } sink;
  const PixelRect rect{3, 5, 90, 60};
  ASSERT_TRUE(DecodeJpegMemory(Span(MakeJpeg(96, 70, Busy)), sink, {}, rect).Ok());
  std::set<int> expected;
  for (int y = 0; y < rect.height; ++y) {
    if (y % 3 == 0 || (rect.top + y) % 16 == 0) expected.insert(y);
  }
  EXPECT_EQ(sink.given, expected);
}

// The memory admitted is that of the window decoded: a colour region with
// margins of whole iMCUs (three for progressive files), a grey one's full
// rows down to its last. Damage below the region goes unread; a progressive
// file's scans are all read before its first row.
TEST(RegionDecode, DecodesOnlyWhatTheRegionNeeds) {
  const struct {
    TestJpegOptions options;
    PixelRect rect;
    int width;                   // of the window decoded; the region's rows alone are held
    std::uint64_t coefficients;  // libjpeg's buffer of a file of several scans, whole
  } cases[] = {
      {{}, {200, 96, 200, 64}, 416 - 176, 0},
      // 80 x 60 luma blocks and twice 40 x 30 chroma blocks of 128 bytes.
      {{.progressive = true}, {320, 160, 32, 32}, 400 - 272, 7200 * 128},
      {{.grayscale = true}, {200, 100, 100, 100}, 640, 0},
  };
  testing::Sandbox box;
  for (const auto& c : cases) {
    const std::string bytes = MakeJpeg(640, 480, Busy, c.options);
    box.Write("cut.jpg", bytes.substr(0, bytes.size() / 2));
    Bitmap full, region;
    const int damage = LoadPhotoFile(box.Path("cut.jpg"), full).warnings;
    std::uint64_t admitted = 0;
    const auto admit = [&](std::uint64_t pixelBytes) { return (admitted = pixelBytes) > 0; };
    const OpenedPhoto opened = OpenPhotoFile(box.Path("cut.jpg"));
    ASSERT_TRUE(opened.reader);
    const DecodeResult result = DecodeToBitmap(*opened.reader, region, c.rect, {}, admit);
    ASSERT_EQ(result.status, DecodeStatus::Decoded);
    EXPECT_EQ(admitted,
              static_cast<std::uint64_t>(RowBytes(c.width)) * c.rect.height + c.coefficients);
    EXPECT_TRUE(SameAs(full, c.rect, region));
    EXPECT_GT(damage, 0);
    EXPECT_EQ(result.warnings, c.options.progressive ? damage : 0);
  }
}

TEST(RegionDecode, RefusesARegionOutsideThePicture) {
  const std::string bytes = MakeJpeg(40, 30, Busy);
  for (const PixelRect rect : {PixelRect{-1, 0, 10, 10}, {35, 25, 6, 5}, {0, 0, 0, 5}}) {
    Bitmap bitmap;
    const DecodeResult result = DecodeJpegMemory(Span(bytes), bitmap, {}, rect);
    EXPECT_EQ(result.reason, "the region asked for lies outside the picture");
  }
}

}  // namespace
}  // namespace quorvale
