#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/JpegFile.h"
#include "codec/JpegReader.h"
#include "codec/PhotoReader.h"
#include "messages/Messages.h"
#include "pixels/HighQuality.h"
#include "pixels/HighQualityWeights.h"
#include "support/PortableCode.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

#define FW "\xE3\x80\x80"  // U+3000 ideographic space

struct Pixel {
  int b, g, r;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

Pixel At(const Bitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.Row(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

void Set(Bitmap& bitmap, int x, int y, Pixel pixel) {
  std::uint8_t* p = bitmap.Row(y) + 3 * x;
  p[0] = static_cast<std::uint8_t>(pixel.b);
  p[1] = static_cast<std::uint8_t>(pixel.g);
  p[2] = static_cast<std::uint8_t>(pixel.r);
}

Bitmap Uniform(int width, int height, Pixel pixel) {
  Bitmap bitmap(width, height);
  for (int x = 0; x < width; ++x) Set(bitmap, x, 0, pixel);
  for (int y = 1; y < height; ++y) std::copy_n(bitmap.Row(0), 3 * width, bitmap.Row(y));
  return bitmap;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y) {
    if (!std::equal(a.Row(y), a.Row(y) + 3 * a.Width(), b.Row(y))) return false;
  }
  return true;
}

std::string Describe(Pixel p) {
  return "(" + std::to_string(p.b) + ", " + std::to_string(p.g) + ", " + std::to_string(p.r) + ")";
}

// The reduction of `bitmap`, which becomes the result when there is one.
HighQualityResult Shrink(Bitmap& bitmap, int width, int height, const CancelCheck& cancel = {}) {
  Bitmap reduced;
  HighQualityResult result = ShrinkHighQuality(bitmap, reduced, width, height, cancel);
  if (result.kind == HighQualityResult::Reduced) bitmap = std::move(reduced);
  return result;
}

// A cancel check that counts its questions and answers with `answer`.
struct CountingPoll {
  int questions = 0;
  std::function<bool()> answer = [] { return false; };
  CancelCheck Poll() {
    return [this] {
      ++questions;
      return answer();
    };
  }
};

// ---------------------------------------------------------------------------
// A literal transcription of the reduction, kept free of every shortcut the
// implementation takes: column-major planes (cell of column x, row y at
// x * rows + y), a weight list per output pixel, 64-bit sums, the sharpening
// read from the resampled plane cell by cell. It assumes the preconditions.
class ReferenceReduction {
 public:
  static void Run(Bitmap& bitmap, int tw, int th) {
    const int sw = bitmap.Width(), sh = bitmap.Height();
    std::vector<std::uint32_t> source(static_cast<std::size_t>(sw) * sh);
    for (int y = 0; y < sh; ++y) {
      for (int x = 0; x < sw; ++x) {
        const Pixel p = At(bitmap, x, y);
        source[static_cast<std::size_t>(x) * sh + y] =
            static_cast<std::uint32_t>(p.r * 65536 + p.g * 256 + p.b);
      }
    }

    const std::int64_t k = std::int64_t{sw} * 100;
    const std::int64_t f = k / tw;
    const std::int64_t d = f * f;
    std::vector<std::uint32_t> result(static_cast<std::size_t>(tw) * th);
    for (int y = 0; y < th; ++y) {
      for (int x = 0; x < tw; ++x) {
        const std::int64_t x0 = x * k / tw, x1 = (x + 1) * k / tw - 1;
        const std::int64_t y0 = y * k / tw, y1 = (y + 1) * k / tw - 1;
        std::int64_t cx0 = x0 / 100, cx1 = x1 / 100, cy0 = y0 / 100, cy1 = y1 / 100;
        if (cx0 > sw - 1) cx0 = sw - 1;
        if (cx1 > sw - 1) cx1 = sw - 1;
        if (cy0 > sh - 1) cy0 = sh - 1;
        if (cy1 > sh - 1) cy1 = sh - 1;
        const std::vector<std::int64_t> wx = Weights(x0, x1, cx0, cx1);
        const std::vector<std::int64_t> wy = Weights(y0, y1, cy0, cy1);
        std::int64_t red = 0, green = 0, blue = 0;
        for (std::int64_t j = cy0; j <= cy1; ++j) {
          for (std::int64_t i = cx0; i <= cx1; ++i) {
            const std::int64_t p = wx[i - cx0] * wy[j - cy0];
            const std::uint32_t cell = source[i * sh + j];
            red += p * (cell >> 16 & 255);
            green += p * (cell >> 8 & 255);
            blue += p * (cell & 255);
          }
        }
        red = std::min<std::int64_t>(red / d, 255);
        green = std::min<std::int64_t>(green / d, 255);
        blue = std::min<std::int64_t>(blue / d, 255);
        result[static_cast<std::size_t>(x) * th + y] =
            static_cast<std::uint32_t>(red * 65536 + green * 256 + blue);
      }
    }

    static const int kernel[3][3] = {{1, 2, 1}, {2, 0, 2}, {1, 2, 1}};
    const auto component = [](std::uint32_t cell, int shift) {
      return static_cast<int>(cell >> shift & 255);
    };
    const auto brightness = [](int r, int g, int b) { return (77 * r + 151 * g + 28 * b) / 255; };
    for (int y = 0; y < th; ++y) {
      for (int x = 0; x < tw; ++x) {
        const std::uint32_t cell = result[static_cast<std::size_t>(x) * th + y];
        const int r0 = component(cell, 16), g0 = component(cell, 8), b0 = component(cell, 0);
        if (x == 0 || x == tw - 1 || y == 0 || y == th - 1) {
          Set(bitmap, x, y, {b0, g0, r0});
          continue;
        }
        int rn = 0, gn = 0, bn = 0;
        for (int j = -1; j <= 1; ++j) {
          for (int i = -1; i <= 1; ++i) {
            const std::uint32_t n = result[static_cast<std::size_t>(x + i) * th + (y + j)];
            rn += kernel[j + 1][i + 1] * component(n, 16);
            gn += kernel[j + 1][i + 1] * component(n, 8);
            bn += kernel[j + 1][i + 1] * component(n, 0);
          }
        }
        rn /= 12;
        gn /= 12;
        bn /= 12;
        const int yn = brightness(rn, gn, bn), yc = brightness(r0, g0, b0);
        const int t = yc - (yn - yc) / 2;
        int r = 0, g = 0, b = 0;
        if (yc != 0) {
          r = r0 * t / yc;
          g = g0 * t / yc;
          b = b0 * t / yc;
        }
        const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
        Set(bitmap, x, y, {clamp(b), clamp(g), clamp(r)});
      }
    }
    bitmap.SetWidth(tw);
    bitmap.SetHeight(th);
  }

 private:
  static std::vector<std::int64_t> Weights(std::int64_t x0, std::int64_t x1, std::int64_t c0,
                                           std::int64_t c1) {
    if (c0 == c1) return {x1 - x0};
    std::vector<std::int64_t> weights{(c0 + 1) * 100 - x0};
    for (std::int64_t i = c0 + 1; i < c1; ++i) weights.push_back(100);
    weights.push_back(x1 - c1 * 100);
    return weights;
  }
};

// ---------------------------------------------------------------------------

std::vector<int> OneHundredth() {
  std::vector<int> weights(99, 100);
  weights.push_back(99);
  return weights;
}

TEST(ComputeFootprint, WeightsInHundredths) {
  const struct {
    std::int64_t hundredths;
    int target, index, lastCell;
    int first;
    std::vector<int> weights;
    const char* why;
  } cases[] = {
      {30000, 200, 0, 299, 0, {100, 49}, "SW 300 to 200, column 0"},
      {30000, 200, 1, 299, 1, {50, 99}, "SW 300 to 200, column 1"},
      {30000, 200, 199, 299, 298, {50, 99}, "SW 300 to 200, last column"},
      {10100, 100, 0, 100, 0, {100, 0}, "SW 101 to 100, column 0"},
      {10100, 100, 1, 100, 1, {99, 1}, "SW 101 to 100, column 1"},
      {10100, 100, 99, 100, 99, {1, 99}, "SW 101 to 100, last column"},
      {20000, 100, 7, 199, 14, {100, 99}, "exactly 2:1"},
      {28500, 100, 1, 284, 2, {15, 100, 100, 69}, "f 285 touching four cells"},
      {259200, 2000, 0, 1814, 0, {100, 28}, "2592 to 2000, first row"},
      {259200, 2000, 1400, 1814, 1814, {128}, "2592 x 1815 to 2000 x 1401, last row"},
      {30000, 100, 5, 16, 15, {100, 199}, "overhang credited to the last cell"},
      {1000000, 100, 3, 9999, 300, OneHundredth(), "exactly 1/100: 99 full cells and 99"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const Footprint footprint = ComputeFootprint(c.hundredths, c.target, c.index, c.lastCell);
    EXPECT_EQ(footprint.first, c.first);
    ASSERT_EQ(footprint.count, static_cast<int>(c.weights.size()));
    EXPECT_TRUE(std::equal(c.weights.begin(), c.weights.end(), footprint.weights.begin()));
  }
}

TEST(ComputeFootprint, WeightsAddUpToOneHundredthLessThanTheSpan) {
  for (int sw : {101, 150, 299, 640, 4000, 5710}) {
    for (int tw : {sw / 100 + 1, sw / 7 + 1, sw / 2, sw - 1}) {
      if (tw < 1 || tw * 100 < sw || tw >= sw) continue;
      const std::int64_t k = std::int64_t{sw} * 100;
      for (int x = 0; x < tw; ++x) {
        const Footprint footprint = ComputeFootprint(k, tw, x, sw - 1);
        ASSERT_LE(footprint.count, MaxFootprintCells);
        int sum = 0;
        for (int i = 0; i < footprint.count; ++i) sum += footprint.weights[i];
        ASSERT_EQ(sum, (x + 1) * k / tw - 1 - x * k / tw) << sw << " to " << tw << ", column " << x;
      }
    }
  }
}

TEST(ShrinkHighQuality, UniformWhiteLosesTheMissingHundredth) {
  const struct {
    int sw, sh, tw, th, value;
  } cases[] = {
      {200, 100, 100, 50, 252},   // 199 * 199 * 255 / 40000
      {300, 200, 200, 133, 251},  // 149 * 149 * 255 / 22500
  };
  for (const auto& c : cases) {
    Bitmap bitmap = Uniform(c.sw, c.sh, {255, 255, 255});
    const HighQualityResult result = Shrink(bitmap, c.tw, c.th);
    ASSERT_EQ(result.kind, HighQualityResult::Reduced);
    ASSERT_EQ(bitmap.Width(), c.tw);
    ASSERT_EQ(bitmap.Height(), c.th);
    for (int y = 0; y < c.th; ++y) {
      for (int x = 0; x < c.tw; ++x) {
        ASSERT_EQ(At(bitmap, x, y), (Pixel{c.value, c.value, c.value})) << x << ", " << y;
      }
    }
  }
}

TEST(ShrinkHighQuality, OverhangingLastRowKeepsAUniformValue) {
  // 2592 x 1815 to 2000 x 1401: f = 129, the last row's footprint starts in
  // source row 1814 and runs past it, all credited to that row (weight 128);
  // the first row's weights 100 + 28 add up to the same.
  Bitmap bitmap = Uniform(2592, 1815, {90, 140, 200});
  ASSERT_EQ(Shrink(bitmap, 2000, 1401).kind, HighQualityResult::Reduced);
  ASSERT_EQ(bitmap.Height(), 1401);
  for (int x : {0, 1, 999, 1998, 1999}) {
    EXPECT_EQ(At(bitmap, x, 1400), At(bitmap, x, 0)) << x;
    EXPECT_EQ(At(bitmap, x, 1399), At(bitmap, x, 1)) << x;
  }
  // 128 * 128 / (129 * 129) of each value, truncated.
  EXPECT_EQ(At(bitmap, 5, 1400), (Pixel{88, 137, 196}));
}

TEST(ShrinkHighQuality, SharpensAnEdgeOnTheBrightness) {
  // 2:1 of grays 102 and 203 resamples to 100 and 200 (39601 / 40000 of
  // each), with the edge between output columns 9 and 10.
  Bitmap bitmap(40, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) {
      const int gray = x < 20 ? 102 : 203;
      Set(bitmap, x, y, {gray, gray, gray});
    }
  }
  ASSERT_EQ(Shrink(bitmap, 20, 10).kind, HighQualityResult::Reduced);
  const auto gray = [](int v) { return Pixel{v, v, v}; };
  for (int y = 1; y < 9; ++y) {
    EXPECT_EQ(At(bitmap, 8, y), gray(100)) << y;
    EXPECT_EQ(At(bitmap, 9, y), gray(84)) << y;
    EXPECT_EQ(At(bitmap, 10, y), gray(217)) << y;
    EXPECT_EQ(At(bitmap, 11, y), gray(200)) << y;
  }
  // Borders pass through unsharpened.
  EXPECT_EQ(At(bitmap, 9, 0), gray(100));
  EXPECT_EQ(At(bitmap, 10, 9), gray(200));
  EXPECT_EQ(At(bitmap, 0, 5), gray(100));
  EXPECT_EQ(At(bitmap, 19, 5), gray(200));
}

TEST(ShrinkHighQuality, BlackStaysBlackAndBrightEdgesClamp) {
  // A white dot on black: Yc = 0 around it gives black, and the dot itself
  // is pushed above 255 and clamped.
  Bitmap bitmap = Uniform(20, 20, {0, 0, 0});
  for (int y = 8; y < 10; ++y) {
    for (int x = 8; x < 10; ++x) Set(bitmap, x, y, {255, 255, 255});
  }
  Bitmap expected = bitmap;
  ReferenceReduction::Run(expected, 10, 10);
  ASSERT_EQ(Shrink(bitmap, 10, 10).kind, HighQualityResult::Reduced);
  EXPECT_TRUE(SamePixels(bitmap, expected));
  EXPECT_EQ(At(bitmap, 3, 3), (Pixel{0, 0, 0}));
}

using testing::PortableCode;

void MatchLiteralAlgorithm() {
  std::mt19937 random(20240607);
  const struct {
    int sw, sh, tw, th;
  } sizes[] = {
      {40, 30, 20, 15},
      {41, 31, 40, 30},
      {101, 67, 100, 66},
      {300, 200, 200, 133},
      {129, 70, 100, 55},
      {142, 101, 139, 100},
      {97, 61, 33, 21},
      {250, 180, 17, 12},
      {600, 300, 20, 10},
      {700, 500, 7, 5},
      {1000, 100, 10, 1},
      {63, 42, 3, 2},
      {333, 222, 331, 220},
      {77, 51, 25, 17},
      {500, 30, 100, 6},
      {18, 18, 17, 17},
      {403, 300, 100, 75},
      {571, 400, 200, 140},
      {553, 110, 100, 20},
      {1000, 690, 10, 7},    // last row weighs 1099: 32-bit row pairs, 64-bit
                             // sums
      {580, 400, 20, 14},    // last row weighs 699, f = 2900: the largest 32-bit sums
      {203, 152, 200, 150},  // f = 101 with footprints of 101 hundredths: exact quotients
      {36, 20, 18, 10},      // sixteen inner columns, no partial step of the sharpening
      {4, 6, 2, 3},          // no inner column at all
      {256, 160, 200, 125},  // f = 128: D a power of two
  };
  for (const auto& size : sizes) {
    for (int pattern = 0; pattern < 4; ++pattern) {
      SCOPED_TRACE(std::to_string(size.sw) + "x" + std::to_string(size.sh) + " to " +
                   std::to_string(size.tw) + "x" + std::to_string(size.th) + ", pattern " +
                   std::to_string(pattern));
      Bitmap bitmap(size.sw, size.sh);
      for (int y = 0; y < size.sh; ++y) {
        for (int x = 0; x < size.sw; ++x) {
          Pixel p{static_cast<int>(random() & 255), static_cast<int>(random() & 255),
                  static_cast<int>(random() & 255)};
          if (pattern == 1) p = {x * 7 & 255, y * 5 & 255, (x ^ y) & 255};
          if (pattern == 2 && (x / 3 + y / 4) % 3 == 0) p = {0, 0, 0};
          if (pattern == 2 && (x / 5 + y / 2) % 4 == 1) p = {255, 255, 255};
          if (pattern == 3) p = {7, 100, 200};  // sums that are exact multiples of D
          Set(bitmap, x, y, p);
        }
      }
      Bitmap expected = bitmap;
      ReferenceReduction::Run(expected, size.tw, size.th);
      const HighQualityResult result = Shrink(bitmap, size.tw, size.th);
      ASSERT_EQ(result.kind, HighQualityResult::Reduced) << DeclineText(result.decline);
      ASSERT_EQ(bitmap.Width(), size.tw);
      ASSERT_EQ(bitmap.Height(), size.th);
      for (int y = 0; y < size.th; ++y) {
        for (int x = 0; x < size.tw; ++x) {
          ASSERT_EQ(At(bitmap, x, y), At(expected, x, y))
              << "at " << x << ", " << y << ": " << Describe(At(bitmap, x, y)) << " instead of "
              << Describe(At(expected, x, y));
        }
      }
    }
  }
}

// Every path of the implementation against the transcription: two to many
// taps, 32- and 64-bit sums (f above 2901), overhanging last rows, random
// pixels with saturated and black areas, uniform areas whose sums divide
// exactly; with the processor's widest vectors and with the portable code.
TEST(ShrinkHighQuality, MatchesTheLiteralAlgorithm) {
  for (bool portable : {false, true}) {
    SCOPED_TRACE(portable ? "portable" : "widest");
    const PortableCode code(portable);
    MatchLiteralAlgorithm();
  }
}

// f = 2901 is the last factor whose sums (white: 255 * f * f at most) stay
// below 2^31; f = 2902 takes the 64-bit sums.
TEST(ShrinkHighQuality, WhiteAtTheLimitOfThirtyTwoBitSums) {
  for (int sw : {2901, 2902}) {
    Bitmap bitmap = Uniform(sw, 290, {255, 255, 255});
    Bitmap expected = bitmap;
    ReferenceReduction::Run(expected, 100, 10);
    ASSERT_EQ(Shrink(bitmap, 100, 10).kind, HighQualityResult::Reduced) << sw;
    EXPECT_TRUE(SamePixels(bitmap, expected)) << sw;
  }
}

TEST(ShrinkHighQuality, WorksOnACroppedBitmap) {
  Bitmap bitmap(60, 40);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) Set(bitmap, x, y, {x * 4, y * 6, (x + y) * 2});
  }
  bitmap.Crop(5, 3, 45, 30);
  Bitmap expected = bitmap;
  ReferenceReduction::Run(expected, 30, 20);
  ASSERT_EQ(Shrink(bitmap, 30, 20).kind, HighQualityResult::Reduced);
  EXPECT_TRUE(SamePixels(bitmap, expected));
}

// Feeds `source` to `sink` as a decoder does: RowSinkBatch rows asked for
// ahead of the one done, each written inside memory wider than the picture,
// its pixels at an offset and the bytes around them scribbled over.
void Feed(const Bitmap& source, RowSink& sink) {
  const int height = source.Height();
  const std::size_t bytes = 3 * static_cast<std::size_t>(source.Width()), offset = 15;
  const std::size_t rowBytes = bytes + offset + 21;
  std::vector<std::uint8_t*> memory(height);
  sink.Start(source.Width(), height, rowBytes);
  for (int y = 0, asked = 0; y < height; ++y) {
    for (; asked < height && asked < y + RowSinkBatch; ++asked) {
      memory[asked] = sink.RowFor(asked);
      std::fill_n(memory[asked], rowBytes, std::uint8_t{0xA5});
      std::copy_n(source.Row(asked), bytes, memory[asked] + offset);
    }
    sink.RowDone(y, memory[y] + offset);
  }
  sink.Finish();
}

TEST(HighQualityRowSink, GivesTheBytesOfTheWholeBitmapReduction) {
  std::mt19937 random(7);
  const struct {
    int sw, sh, tw, th;
    const char* why;
  } cases[] = {
      {600, 400, 200, 133, "three taps"},
      {6000, 4000, 2000, 1333, "a photo"},
      {400, 300, 200, 153, "halving, three output rows on the last source row"},
      {101, 67, 100, 66, "f = 101: neighbours share a source row"},
      {597, 400, 300, 201, "f = 199: three rows, the tallest footprint for its f"},
      {700, 500, 7, 5, "101 taps"},
      {1000, 690, 10, 7, "64-bit sums, the last row weighing 1099"},
      {2902, 290, 100, 10, "f = 2902, the first with 64-bit sums"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Bitmap source(c.sw, c.sh);
    for (int y = 0; y < c.sh; ++y) {
      std::generate_n(source.Row(y), 3 * c.sw, [&] { return static_cast<std::uint8_t>(random()); });
    }
    Bitmap expected, result;
    ASSERT_EQ(ShrinkHighQuality(source, expected, c.tw, c.th, {}).kind, HighQualityResult::Reduced);
    HighQualityRowSink sink(result, c.tw, c.th);
    Feed(source, sink);
    EXPECT_TRUE(SamePixels(result, expected));
  }
  // It holds the result and twenty source rows: an eighth of the photo.
  Bitmap result;
  const std::uint64_t charge = HighQualityRowSink(result, 2000, 1333).Charge(6000, 4000, 18000);
  EXPECT_GT(charge, RowBytes(2000) * 1333 + 20 * 18000);
  EXPECT_LT(charge, RowBytes(6000) * 4000 / 8);
}

// The decoder's own feeding: a region, whose rows start inside a wider
// window, reduced as it is decoded.
TEST(HighQualityRowSink, ReducesARegionAsItIsDecoded) {
  const std::string jpeg = testing::MakeJpeg(640, 480, testing::PhotoPixel);
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size());
  const PixelRect region{13, 7, 601, 401};
  Bitmap decoded, expected, result;
  ASSERT_TRUE(DecodeJpegMemory(bytes, decoded, {}, region).Ok());
  ASSERT_EQ(ShrinkHighQuality(decoded, expected, 300, 200, {}).kind, HighQualityResult::Reduced);
  HighQualityRowSink sink(result, 300, 200);
  ASSERT_TRUE(DecodeJpegMemory(bytes, sink, {}, region).Ok());
  EXPECT_TRUE(SamePixels(result, expected));
}

// ---------------------------------------------------------------------------

struct Refusal {
  int sw, sh, tw, th;
  const char* message;  // "" when every precondition holds
};

const Refusal Refusals[] = {
    // The preconditions that hold are shown by a cancel at the first pixel.
    {4000, 3000, 1024, 768, ""},  // ratios 133 and 133
    {4000, 3000, 40, 30, ""},     // exactly 1/100
    {3000, 2000, 1024, 768,
     "\xE6\xAF\x94\xE7\x8E\x87\xE3\x81\x8C\xE9\x81\x95\xE3\x81\x86\xE3\x81\xAE\xE3\x81\xA7"
     "\xE9\xAB\x98\xE7\x94\xBB\xE8\xB3\xAA\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD"
     "\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82"
     "(\xE5\xB9\x85 1024  \xE9\xAB\x98\xE3\x81\x95"
     "768)"},
    {300, 200, 300, 150,
     "\xE6\xAF\x94\xE7\x8E\x87\xE3\x81\x8C\xE9\x81\x95\xE3\x81\x86\xE3\x81\xAE\xE3\x81\xA7"
     "\xE9\xAB\x98\xE7\x94\xBB\xE8\xB3\xAA\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD"
     "\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82"
     "(\xE5\xB9\x85 300  \xE9\xAB\x98\xE3\x81\x95"
     "150)"},
    {300, 200, 300, 200,
     "\xE7\x94\xBB\xE5\x83\x8F\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA\xE3\x81\x8C\xE5\x90\x8C"
     "\xE3\x81\x98\xE3\x81\xAA\xE3\x81\xAE\xE3\x81\xA7\xE9\xAB\x98\xE7\x94\xBB\xE8\xB3\xAA"
     "\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE"
     "\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82(\xE5\xB9\x85 300  \xE9\xAB\x98\xE3\x81\x95"
     "200)"},
    {6201, 4134, 1536, 1024,
     "\xE5\x85\x83\xE7\x94\xBB\xE5\x83\x8F\xE3\x81\x8C\xE5\xA4\xA7\xE3\x81\x8D\xE3\x81\x99"
     "\xE3\x81\x8E\xE3\x82\x8B\xE3\x81\xAE\xE3\x81\xA7\xE9\xAB\x98\xE7\x94\xBB\xE8\xB3\xAA"
     "\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE"
     "\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82(\xE5\xB9\x85 6201  \xE9\xAB\x98\xE3\x81\x95"
     "4134)\n"
     "\xE6\x9C\x80\xE5\xA4\xA7\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA\xE3\x81\xAF\xE5\xB9\x85" FW
     "6200px" FW "\xE9\xAB\x98\xE3\x81\x95"
     "6200px\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82"},
    {100, 100, 6201, 6201,
     "\xE7\xB8\xAE\xE5\xB0\x8F\xE5\xBE\x8C\xE7\x94\xBB\xE5\x83\x8F\xE3\x81\x8C\xE5\xA4\xA7"
     "\xE3\x81\x8D\xE3\x81\x99\xE3\x81\x8E\xE3\x82\x8B\xE3\x81\xAE\xE3\x81\xA7\xE9\xAB\x98"
     "\xE7\x94\xBB\xE8\xB3\xAA\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD"
     "\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82(\xE5\xB9\x85 6201  "
     "\xE9\xAB\x98\xE3\x81\x95"
     "6201)\n"
     "\xE6\x9C\x80\xE5\xA4\xA7\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA\xE3\x81\xAF\xE5\xB9\x85" FW
     "6200px" FW "\xE9\xAB\x98\xE3\x81\x95"
     "6200px\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82"},
    {4000, 3000, 39, 29,
     "\xE7\xB8\xAE\xE5\xB0\x8F\xE7\x8E\x87\xE3\x81\x8C\xE5\xA4\xA7\xE3\x81\x8D\xE3\x81\x99"
     "\xE3\x81\x8E\xE3\x82\x8B\xE3\x81\xAE\xE3\x81\xA7\xE9\xAB\x98\xE7\x94\xBB\xE8\xB3\xAA"
     "\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE"
     "\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82\xE6\x9C\x80\xE5\xA4\xA7"
     "1/100"
     "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82"},
    {300, 200, 300, 199,  // same width, lower: not a reduction in both directions
     "\xE6\x8B\xA1\xE5\xA4\xA7\xE3\x81\xAA\xE3\x81\xAE\xE3\x81\xA7\xE9\xAB\x98\xE7\x94\xBB"
     "\xE8\xB3\xAA\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97"
     "\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82"},
    {100, 100, 200, 200,
     "\xE6\x8B\xA1\xE5\xA4\xA7\xE3\x81\xAA\xE3\x81\xAE\xE3\x81\xA7\xE9\xAB\x98\xE7\x94\xBB"
     "\xE8\xB3\xAA\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97"
     "\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82"},
};

TEST(ShrinkHighQuality, PreconditionsInOrderWithTheirMessages) {
  for (const Refusal& c : Refusals) {
    SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " to " + std::to_string(c.tw) +
                 "x" + std::to_string(c.th));
    const bool accepted = *c.message == '\0';
    CountingPoll poll;
    poll.answer = [] { return true; };
    Bitmap bitmap(c.sw, c.sh);
    Set(bitmap, c.sw - 1, c.sh - 1, {10, 20, 30});
    const HighQualityResult result = Shrink(bitmap, c.tw, c.th, poll.Poll());
    EXPECT_EQ(result.kind, accepted ? HighQualityResult::Cancelled : HighQualityResult::Declined);
    const std::optional<HighQualityDecline> refusal = HighQualityRefusal(c.sw, c.sh, c.tw, c.th);
    EXPECT_EQ(refusal.has_value(), !accepted);
    if (!accepted) {
      EXPECT_EQ(DeclineText(result.decline), c.message);
      EXPECT_EQ(*refusal, result.decline);
      // The sink holds no whole source, so only the source limit spares it.
      Bitmap unused;
      HighQualityRowSink sink(unused, c.tw, c.th);
      if (refusal->kind != HighQualityDecline::SourceTooLarge) {
        EXPECT_THROW(sink.Start(c.sw, c.sh, 3 * c.sw), std::invalid_argument);
      }
    }
    EXPECT_EQ(bitmap.Width(), c.sw);
    EXPECT_EQ(bitmap.Height(), c.sh);
    EXPECT_EQ(At(bitmap, c.sw - 1, c.sh - 1), (Pixel{10, 20, 30}));
    EXPECT_EQ(At(bitmap, 0, 0), (Pixel{255, 255, 255}));
    EXPECT_EQ(poll.questions, accepted ? 1 : 0);
  }
}

TEST(ShrinkHighQuality, SameWidthLowerHeightNeverFailsAsSameSize) {
  for (int th = 100; th < 200; ++th) {
    Bitmap bitmap(300, 200);
    const HighQualityResult result = Shrink(bitmap, 300, th);
    ASSERT_EQ(result.kind, HighQualityResult::Declined) << th;
    EXPECT_NE(result.decline.kind, HighQualityDecline::SameSize) << th;
  }
}

TEST(ShrinkHighQuality, ZeroSidesAreRefusedWithoutDividing) {
  Bitmap bitmap(10, 10);
  const HighQualityResult zeroTarget = Shrink(bitmap, 0, 0);
  EXPECT_EQ(zeroTarget.kind, HighQualityResult::Declined);
  Bitmap empty(10, 0);
  const HighQualityResult zeroSource = Shrink(empty, 5, 5);
  EXPECT_EQ(zeroSource.kind, HighQualityResult::Declined);
}

// ---------------------------------------------------------------------------

TEST(ShrinkHighQuality, CancelInTheResamplingLeavesThePhoto) {
  CountingPoll poll;
  poll.answer = [] { return true; };
  Bitmap bitmap(200, 100);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) Set(bitmap, x, y, {x, y, 7});
  }
  const Bitmap original = bitmap;
  const HighQualityResult result = Shrink(bitmap, 100, 50, poll.Poll());
  EXPECT_EQ(result.kind, HighQualityResult::Cancelled);
  EXPECT_EQ(poll.questions, 1);
  EXPECT_TRUE(SamePixels(bitmap, original));
}

// A cancel seen after rows were made leaves the source as it was; only the
// result is unfinished.
TEST(ShrinkHighQuality, CancelPartWayLeavesThePhoto) {
  CountingPoll poll;
  poll.answer = [&] { return poll.questions == 2; };
  Bitmap bitmap(4000, 3000);
  for (int y = 0; y < 3000; y += 7) Set(bitmap, y, y, {y % 256, 5, 9});
  const Bitmap original = bitmap;
  Bitmap reduced;
  const HighQualityResult result = ShrinkHighQuality(bitmap, reduced, 3990, 2992, poll.Poll());
  EXPECT_EQ(result.kind, HighQualityResult::Cancelled);
  EXPECT_EQ(poll.questions, 2);
  EXPECT_TRUE(SamePixels(bitmap, original));
}

}  // namespace
}  // namespace quorvale
