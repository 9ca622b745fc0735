#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/JpegFile.h"
#include "imaging/SizeTable.h"
#include "imaging/TrimPosition.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::MakeJpeg;
using testing::TestJpegOptions;

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// Many features per block, so that a chroma sample or a DC value taken from
// the wrong neighbour shows in the pixels.
testing::Rgb Busy(int x, int y) {
  return testing::PhotoPixel(x * 7, y * 5);
}

// The first pixel at which `region` differs from `rect` of `full`, or "".
std::string Mismatch(const Bitmap& full, const PixelRect& rect, const Bitmap& region) {
  if (region.Width() != rect.width || region.Height() != rect.height) {
    return "size " + std::to_string(region.Width()) + "x" + std::to_string(region.Height());
  }
  for (int y = 0; y < rect.height; ++y) {
    const std::uint8_t* want = full.Row(rect.top + y) + 3 * rect.left;
    const std::uint8_t* got = region.Row(y);
    for (int x = 0; x < rect.width; ++x) {
      if (std::memcmp(want + 3 * x, got + 3 * x, 3) != 0) {
        return "pixel " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return "";
}

// Grey 6 lies between two of the quantizer's levels, so the error diffusion
// draws a pattern of 5 and 7 over the whole picture.
testing::Rgb BetweenLevels(int, int) {
  return {6, 6, 6};
}

// A progressive file whose coefficients are never refined: block smoothing
// works on every block.
const std::vector<testing::JpegScan> Unrefined = {
    {{0, 1, 2}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 2}, {{1}, 1, 63, 0, 2}, {{2}, 1, 63, 0, 2}};

struct Kind {
  const char* name;
  TestJpegOptions options;
  double keep = 1;  // the share of the file's scan data kept (below 1: cut short)
  testing::PixelFunction pixel = Busy;
};

const Kind Kinds[] = {
    {"4:2:0", {}},
    {"4:2:2", {.lumaH = 2, .lumaV = 1}},
    {"4:4:4", {.lumaH = 1, .lumaV = 1}},
    {"4:4:0", {.lumaH = 1, .lumaV = 2}},
    {"grey", {.grayscale = true}},
    {"grey between levels", {.grayscale = true}, 1, BetweenLevels},
    {"cmyk", {.cmyk = true}},
    {"progressive", {.progressive = true}},
    {"progressive 4:4:4", {.progressive = true, .lumaH = 1, .lumaV = 1}},
    // Cut short, a progressive file lacks refinement scans: block smoothing
    // then estimates coefficients from the neighbouring blocks.
    {"progressive unrefined", {.progressive = true, .scans = Unrefined}},
    {"progressive cut short", {.progressive = true}, 0.45},
    {"progressive 4:4:4 cut short", {.progressive = true, .lumaH = 1, .lumaV = 1}, 0.45},
    {"grey progressive", {.grayscale = true, .progressive = true}},
    {"restart markers", {.restartRows = 1}},
    {"arithmetic", {.arithmetic = true}},
    {"arithmetic progressive", {.progressive = true, .arithmetic = true}},
    {"baseline cut short", {}, 0.6},
};

// Landscape and portrait photos, odd sides among them; the trims of every
// size of the table at 400 and 150 dpi, at both ends and the centre of the
// free axis, plus rectangles no trim makes (corners, a single pixel, one
// inside).
TEST(RegionDecode, GivesTheFullDecodesPixelsOfEveryRegion) {
  const PixelSize photos[] = {{401, 227}, {227, 401}, {17, 9}};
  for (const Kind& kind : Kinds) {
    for (const PixelSize& photo : photos) {
      // A tiny file cut short loses tables, not rows.
      if (kind.keep < 1 && photo.width < 100) continue;
      std::string bytes = MakeJpeg(photo.width, photo.height, kind.pixel, kind.options);
      const std::size_t data = bytes.find("\xFF\xDA");
      bytes.resize(data + static_cast<std::size_t>((bytes.size() - data) * kind.keep));
      Bitmap full;
      const DecodeResult whole = DecodeJpegMemory(Span(bytes), full);
      ASSERT_EQ(whole.code, 0) << kind.name << " " << whole.reason;
      std::vector<PixelRect> rects;
      for (const SizePreset& size : SizeTable()) {
        for (const int dpi : {400, 150}) {
          for (const double position : {0.0, 0.5, 1.0}) {
            rects.push_back(
                ComputeTrimRect(photo.width, photo.height, TargetSize(size, dpi), position));
          }
        }
      }
      const int w = photo.width, h = photo.height;
      rects.insert(rects.end(), {{0, 0, w, h},
                                 {w - 1, h - 1, 1, 1},
                                 {0, h / 2, w / 3, h - h / 2},
                                 {w / 2, 0, w - w / 2, h / 3},
                                 {w / 3, h / 3, w / 4 + 1, h / 4 + 1}});
      std::sort(rects.begin(), rects.end(), [](const PixelRect& a, const PixelRect& b) {
        return std::tie(a.left, a.top, a.width, a.height) <
               std::tie(b.left, b.top, b.width, b.height);
      });
      rects.erase(std::unique(rects.begin(), rects.end()), rects.end());
      for (const PixelRect& rect : rects) {
        SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(w) + "x" + std::to_string(h) +
                     " at " + std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                     std::to_string(rect.width) + "x" + std::to_string(rect.height));
        Bitmap region;
        const DecodeResult result = DecodeJpegMemory(
            Span(bytes), region, {}, [&](int width, int height) -> std::optional<PixelRect> {
              EXPECT_EQ(width, w);
              EXPECT_EQ(height, h);
              return rect;
            });
        ASSERT_EQ(result.code, 0) << result.reason;
        ASSERT_EQ(Mismatch(full, rect, region), "");
      }
    }
  }
}

// The memory admitted is that of the window decoded: a colour photo's
// region and its margins, whole iMCUs; a grey one's full rows down to the
// region's last. Rows below the region are not read, so data missing there
// goes unseen.
TEST(RegionDecode, DecodesOnlyWhatTheRegionNeeds) {
  struct Case {
    const char* name;
    TestJpegOptions options;
    PixelRect rect;
    PixelSize window;
  } const cases[] = {
      {"4:2:0", {}, {200, 96, 200, 64}, {416 - 176, 160 - 80}},
      {"4:4:4 corner", {.lumaH = 1, .lumaV = 1}, {0, 0, 100, 50}, {112, 50}},
      {"progressive", {.progressive = true}, {320, 160, 32, 32}, {400 - 272, 192 - 112}},
      {"grey", {.grayscale = true}, {200, 100, 100, 100}, {640, 200}},
  };
  testing::Sandbox sandbox;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = MakeJpeg(640, 480, Busy, c.options);
    // Without the rows below the middle, which the whole decode fills grey.
    sandbox.Write("cut.jpg", bytes.substr(0, bytes.size() / 2));
    Bitmap full;
    const int damage = DecodeJpegFile(sandbox.Path("cut.jpg"), full).warnings;
    ASSERT_GT(damage, 0);
    std::uint64_t admitted = 0;
    Bitmap region;
    const DecodeResult result = LoadJpegFile(
        sandbox.Path("cut.jpg"), region, {},
        [&](std::uint64_t bytes) {
          admitted = bytes;
          return true;
        },
        [&](int, int) { return c.rect; });
    ASSERT_EQ(result.code, 0);
    EXPECT_EQ(admitted, static_cast<std::uint64_t>(RowBytes(c.window.width)) * c.window.height);
    EXPECT_EQ(Mismatch(full, c.rect, region), "");
    // A progressive file's scans are all read before the first row.
    EXPECT_EQ(result.warnings, c.options.progressive ? damage : 0);
  }
}

TEST(RegionDecode, RefusesARegionOutsideThePicture) {
  const std::string bytes = MakeJpeg(40, 30, Busy);
  for (const PixelRect& rect : {PixelRect{0, 0, 41, 30}, PixelRect{-1, 0, 10, 10},
                                PixelRect{35, 25, 6, 5}, PixelRect{0, 0, 0, 5}}) {
    Bitmap bitmap;
    const DecodeResult result =
        DecodeJpegMemory(Span(bytes), bitmap, {}, [&](int, int) { return rect; });
    EXPECT_EQ(result.code, -2);
    EXPECT_EQ(result.reason, "the region asked for lies outside the picture");
  }
  Bitmap whole;
  EXPECT_EQ(DecodeJpegMemory(Span(bytes), whole, {}, [](int, int) { return std::nullopt; }).code,
            0);
  EXPECT_EQ(whole.Width(), 40);
  EXPECT_EQ(whole.Height(), 30);
}

}  // namespace
}  // namespace quorvale
