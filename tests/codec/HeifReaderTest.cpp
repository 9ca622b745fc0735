#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string>

#include "codec/Colour.h"
#include "codec/Exif.h"
#include "codec/HeifReader.h"
#include "support/ExifBlock.h"
#include "support/PhotoBitmap.h"
#include "support/TestHeif.h"
#include "support/TestPng.h"

namespace quorvale {
namespace {

using testing::MakeHeic;
using testing::TestHeifOptions;

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

constexpr int Width = 64;
constexpr int Height = 48;

Bitmap Source() {
  return testing::PhotoBitmap(Width, Height, 7, 5);
}

std::uint8_t Opacity(int x, int y) {
  return static_cast<std::uint8_t>(x < 32 ? 0 : y * 5);
}

// The picture as a viewer shows it: turned upright by Exif orientation 6
// (90 degrees clockwise), or laid on white by its opacity.
Bitmap TurnedClockwise(const Bitmap& source) {
  Bitmap turned(source.Height(), source.Width());
  for (int y = 0; y < turned.Height(); ++y) {
    for (int x = 0; x < turned.Width(); ++x) {
      std::memcpy(turned.Row(y) + 3 * x, source.Row(source.Height() - 1 - x) + 3 * y, 3);
    }
  }
  return turned;
}

Bitmap OnWhite(const Bitmap& source) {
  Bitmap shown = source;
  for (int y = 0; y < shown.Height(); ++y) {
    for (int x = 0; x < shown.Width(); ++x) {
      const double a = Opacity(x, y) / 255.0;
      for (int c = 0; c < 3; ++c) {
        std::uint8_t& v = shown.Row(y)[3 * x + c];
        v = static_cast<std::uint8_t>(std::lround(v * a + 255 * (1 - a)));
      }
    }
  }
  return shown;
}

double Psnr(const Bitmap& a, const Bitmap& b) {
  double squares = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int i = 0; i < a.Width() * 3; ++i) {
      const double d = double(a.Row(y)[i]) - b.Row(y)[i];
      squares += d * d;
    }
  }
  const double mean = squares / (a.Width() * a.Height() * 3.0);
  return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

std::vector<std::uint8_t> ExifTurned6() {
  testing::ExifBlock block(true);
  block.ifd0 = {block.Short(testing::exif_tag::Orientation, 6)};
  return block.Build();
}

struct HeifCase {
  const char* name;
  std::function<std::string()> make;
  std::function<Bitmap(const Bitmap&)> shown{};  // the source as it is when none
  std::function<void(const PhotoHeader&)> header{};
  const char* failure = nullptr;  // "" for any reason, at the opening or the decode
};

const HeifCase Cases[] = {
    {"FromPhoto",
     [] { return MakeHeic(Source()); },
     {},
     [](const PhotoHeader& h) {
       EXPECT_TRUE(h.icc.empty());  // nclx describing sRGB
       EXPECT_TRUE(h.exif.empty());
     }},
    {"Rotated", [] { return MakeHeic(Source(), {.orientation = 6}); }, TurnedClockwise,
     [](const PhotoHeader& h) { EXPECT_EQ(h.orientation, 1); }},
    {"ExifOrientationNotApplied",
     [] { return MakeHeic(Source(), {.orientation = 6, .exif = ExifTurned6()}); }, TurnedClockwise,
     [](const PhotoHeader& h) {
       ASSERT_GT(h.exif.size(), 6u);
       EXPECT_EQ(std::memcmp(h.exif.data(), "Exif\0\0", 6), 0);
       EXPECT_EQ(ExifOrientation(h.exif), 1);
       EXPECT_EQ(h.orientation, 1);
     }},
    {"Alpha", [] { return MakeHeic(Source(), {.alpha = Opacity}); }, OnWhite},
    {"DisplayP3",
     [] { return MakeHeic(Source(), {.primaries = 12}); },
     {},
     [](const PhotoHeader& h) {
       EXPECT_EQ(SrgbConversion::For(h.icc).Which(), SrgbConversion::Kind::Converts);
     }},
    {"Profile",
     [] { return MakeHeic(Source(), {.icc = CompactSrgbProfile()}); },
     {},
     [](const PhotoHeader& h) { EXPECT_EQ(h.icc, CompactSrgbProfile()); }},
    {"CutInMetadata",
     [] { return MakeHeic(Source()).substr(0, 100); },
     {},
     {},
     "the file ends early"},
    {"CutInPictureData",
     [] {
       const std::string heic = MakeHeic(Source());
       return heic.substr(0, heic.size() - 200);
     },
     {},
     {},
     ""},
    {"HundredsOfReferences",
     [] { return testing::MakeHeifWithReferences(300); },
     {},
     {},
     "the file has more item references than a photo needs"},
    {"TileNamedTwice",
     [] { return testing::MakeHeifWithReferences(2); },
     {},
     {},
     "the file's item references name an item twice, itself or one not declared"},
    {"GridCanvasTooLarge",
     [] { return testing::MakeHeifWithReferences(1, 70000, 70000); },
     {},
     {},
     "the picture is larger than the decoder allows"},
    {"NotHeif", [] { return testing::MakePng(Source()); }, {}, {}, "not a HEIF file"},
};

class HeifReaderTest : public ::testing::TestWithParam<HeifCase> {};

TEST_P(HeifReaderTest, DecodesAsShownOrRefuses) {
  const HeifCase& c = GetParam();
  const std::string file = c.make();
  OpenedPhoto opened = OpenHeifMemory(Span(file));
  DecodeResult result = opened.failure;
  Bitmap bitmap;
  if (opened.reader) {
    if (c.header) c.header(opened.reader->Header());
    BitmapSink sink(bitmap);
    result = opened.reader->Decode(sink, std::nullopt);
  }
  if (c.failure != nullptr) {
    EXPECT_EQ(result.status, DecodeStatus::Failed);
    EXPECT_FALSE(result.reason.empty());
    if (*c.failure != '\0') {
      EXPECT_EQ(result.reason, c.failure);
    }
    return;
  }
  ASSERT_TRUE(result.Ok()) << result.reason;
  const Bitmap shown = c.shown ? c.shown(Source()) : Source();
  EXPECT_EQ(opened.reader->Header().size, (PixelSize{shown.Width(), shown.Height()}));
  ASSERT_EQ(bitmap.Width(), shown.Width());
  ASSERT_EQ(bitmap.Height(), shown.Height());
  EXPECT_GT(Psnr(bitmap, shown), 34.0);

  // A region is the same pixels cut from the whole.
  const PixelRect region{5, 3, 20, 17};
  OpenedPhoto again = OpenHeifMemory(Span(file));
  Bitmap part;
  BitmapSink partSink(part);
  ASSERT_TRUE(again.reader->Decode(partSink, region).Ok());
  for (int y = 0; y < region.height; ++y) {
    ASSERT_EQ(
        std::memcmp(part.Row(y), bitmap.Row(region.top + y) + 3 * region.left, 3 * region.width),
        0);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, HeifReaderTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvale
