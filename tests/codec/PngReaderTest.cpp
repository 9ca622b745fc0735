#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "codec/Colour.h"
#include "codec/PngReader.h"
#include "support/ExifBlock.h"
#include "support/TestJpeg.h"
#include "support/TestPng.h"

namespace quorvale {
namespace {

using testing::ExifBlock;
using testing::MakePng;
using testing::TestPngOptions;
using Kind = TestPngOptions::Kind;

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// 256 colours, one a pixel, so that a palette holds them all and each pixel
// says where it came from.
Bitmap Source() {
  Bitmap bitmap(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      std::uint8_t* p = bitmap.Row(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>((x + y) * 8);
      p[1] = static_cast<std::uint8_t>(y * 16 + 3);
      p[2] = static_cast<std::uint8_t>(x * 16 + 1);
    }
  }
  return bitmap;
}

std::uint8_t Opacity(int x, int y) {
  return static_cast<std::uint8_t>((x * 37 + y * 11) % 256);
}

std::vector<std::uint8_t> Orientation6() {
  ExifBlock block(false);
  block.ifd0 = {block.Short(testing::exif_tag::Orientation, 6)};
  return block.Build();
}

std::vector<std::uint8_t> Tiff(const std::vector<std::uint8_t>& exif) {
  return {exif.begin() + 6, exif.end()};
}

// What a pixel of the source must decode to: as it is, grey (its red
// value), or laid on white by its opacity, worked out in real numbers.
enum class Expect { Same, Grey, OnWhite, GreyOnWhite };

std::uint8_t Expected(const Bitmap& source, int x, int y, int c, Expect expect) {
  const std::uint8_t* p = source.Row(y) + 3 * x;
  const bool grey = expect == Expect::Grey || expect == Expect::GreyOnWhite;
  const double v = grey ? p[2] : p[c];
  if (expect == Expect::Same || expect == Expect::Grey) return static_cast<std::uint8_t>(v);
  const double a = Opacity(x, y) / 255.0;
  return static_cast<std::uint8_t>(std::lround(v * a + 255 * (1 - a)));
}

struct PngCase {
  const char* name;
  std::function<std::string()> make;
  Expect expect = Expect::Same;
  const char* openFailure = nullptr;    // the reason the header is refused with
  const char* decodeFailure = nullptr;  // how the decode's reason for failing starts
};

const PngCase Cases[] = {
    {"Rgb8", [] { return MakePng(Source()); }},
    {"Rgb16", [] { return MakePng(Source(), {.bitDepth = 16}); }},
    {"Palette", [] { return MakePng(Source(), {.kind = Kind::Palette}); }},
    {"Interlaced", [] { return MakePng(Source(), {.interlaced = true}); }},
    {"Grey8", [] { return MakePng(Source(), {.kind = Kind::Grey}); }, Expect::Grey},
    {"Grey16", [] { return MakePng(Source(), {.kind = Kind::Grey, .bitDepth = 16}); },
     Expect::Grey},
    {"RgbAlpha", [] { return MakePng(Source(), {.kind = Kind::RgbAlpha, .alpha = Opacity}); },
     Expect::OnWhite},
    {"RgbAlpha16Interlaced",
     [] {
       return MakePng(
           Source(),
           {.kind = Kind::RgbAlpha, .bitDepth = 16, .interlaced = true, .alpha = Opacity});
     },
     Expect::OnWhite},
    {"GreyAlpha", [] { return MakePng(Source(), {.kind = Kind::GreyAlpha, .alpha = Opacity}); },
     Expect::GreyOnWhite},
    {"Truncated",
     [] {
       const std::string png = MakePng(Source());
       return png.substr(0, png.size() / 2);
     },
     Expect::Same, nullptr, "the file ends early"},
    {"CorruptData",
     [] {
       std::string png = MakePng(Source());
       png[png.size() - 30] ^= 0x55;  // inside the picture data
       return png;
     },
     Expect::Same, nullptr, "IDAT: "},
    {"Bomb", [] { return testing::MakePngClaiming(20000, 20000); }, Expect::Same,
     "the picture is larger than its file could hold"},
    {"HugeSide", [] { return testing::MakePngClaiming(MaxJpegSide + 1, 1); }, Expect::Same,
     "Invalid IHDR data"},
    {"NotPng", [] { return testing::MakeJpeg(8, 8, testing::PhotoPixel); }, Expect::Same,
     "not a PNG file"},
};

class PngReaderTest : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngReaderTest, DecodesWholeAndRegionOrRefuses) {
  const PngCase& c = GetParam();
  const std::string file = c.make();
  const Bitmap source = Source();
  const PixelRect region{3, 5, 9, 7};
  for (const std::optional<PixelRect>& asked :
       {std::optional<PixelRect>(), std::optional(region)}) {
    OpenedPhoto opened = OpenPngMemory(Span(file));
    if (c.openFailure != nullptr) {
      ASSERT_FALSE(opened.reader);
      EXPECT_EQ(opened.failure.reason, c.openFailure);
      return;
    }
    ASSERT_TRUE(opened.reader) << opened.failure.reason;
    EXPECT_EQ(opened.reader->Header().size, (PixelSize{16, 16}));
    Bitmap bitmap;
    BitmapSink sink(bitmap);
    const DecodeResult result = opened.reader->Decode(sink, asked);
    if (c.decodeFailure != nullptr) {
      EXPECT_EQ(result.status, DecodeStatus::Failed);
      EXPECT_EQ(result.reason.rfind(c.decodeFailure, 0), 0u) << result.reason;
      return;
    }
    ASSERT_TRUE(result.Ok()) << result.reason;
    const PixelRect r = asked.value_or(PixelRect{0, 0, 16, 16});
    ASSERT_EQ(bitmap.Width(), r.width);
    ASSERT_EQ(bitmap.Height(), r.height);
    for (int y = 0; y < r.height; ++y) {
      for (int x = 0; x < r.width; ++x) {
        for (int ch = 0; ch < 3; ++ch) {
          ASSERT_EQ(bitmap.Row(y)[3 * x + ch],
                    Expected(source, r.left + x, r.top + y, ch, c.expect))
              << "pixel " << r.left + x << "," << r.top + y << " channel " << ch;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PngReaderTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PngReader, HeaderCarriesExifOrientationAndProfile) {
  const std::vector<std::uint8_t> exif = Orientation6();
  const std::vector<std::uint8_t>& icc = CompactSrgbProfile();
  const std::string file = MakePng(Source(), {.exif = Tiff(exif), .icc = icc});
  const OpenedPhoto opened = OpenPngMemory(Span(file));
  ASSERT_TRUE(opened.reader) << opened.failure.reason;
  const PhotoHeader& header = opened.reader->Header();
  EXPECT_EQ(header.components, 3);
  EXPECT_EQ(header.orientation, 6);
  EXPECT_EQ(header.exif, exif);
  EXPECT_EQ(header.icc, icc);
  EXPECT_EQ(header.file.bytes, file.size());
}

}  // namespace
}  // namespace quorvale
