#include "codec/Exif.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "pixels/Bitmap.h"
#include "codec/JpegFile.h"
#include "support/ExifBlock.h"
#include "support/Exiftool.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

using testing::ExifBlock;
using testing::ExiftoolValues;
using testing::Sandbox;
using Block = std::vector<std::uint8_t>;
using namespace testing::exif_tag;

enum class Dimensions { Short, Long, Absent, NoExifIfd };

struct CameraBlock {
  bool little = false;
  int orientation = 6;
  Dimensions dimensions = Dimensions::Short;
  bool thumbnail = true;
  bool thumbnailFirst = false;
  std::size_t makerNote = 0;  // bytes of a maker note in the Exif sub-IFD
};

// A block as a camera writes it: make, orientation and resolution in IFD0,
// the date and the pixel size in the Exif sub-IFD, a GPS IFD and a JPEG
// thumbnail in IFD1.
Block Camera(const CameraBlock& c) {
  ExifBlock b(c.little);
  b.ifd0 = {b.Ascii(Make, "Quorvale Test Camera"), b.Short(Orientation, c.orientation),
            b.Rational(XResolution, 72, 1)};
  if (c.dimensions != Dimensions::NoExifIfd) {
    b.exif = {b.Ascii(DateTimeOriginal, "2024:05:01 10:20:30"), b.Rational(ExposureTime, 1, 125)};
    if (c.dimensions == Dimensions::Short) {
      b.exif.push_back(b.Short(PixelX, 4032));
      b.exif.push_back(b.Short(PixelY, 3024));
    } else if (c.dimensions == Dimensions::Long) {
      b.exif.push_back(b.Long(PixelX, 4032));
      b.exif.push_back(b.Long(PixelY, 3024));
    }
    if (c.makerNote > 0) b.exif.push_back(b.Undefined(MakerNote, Block(c.makerNote, 0x5A)));
  }
  b.gps = {b.Ascii(GpsLatitudeRef, "N")};
  if (c.thumbnail) b.AddJpegThumbnail();
  b.thumbnailFirst = c.thumbnailFirst;
  return b.Build();
}

// A small JPEG carrying `block`, read back by exiftool.
std::vector<std::string> ReadBack(const Sandbox& sandbox, const Block& block,
                                  const std::vector<std::string>& tags) {
  const Bitmap picture(8, 8);
  const std::optional<std::vector<std::uint8_t>> jpeg =
      EncodeJpeg(picture, 90, JpegExtras{.exif = block});
  EXPECT_TRUE(jpeg);
  if (!jpeg) return {};
  sandbox.Write("exif.jpg", std::string(jpeg->begin(), jpeg->end()));
  return ExiftoolValues(sandbox.Path("exif.jpg"), tags);
}

// The TIFF offset of the entry for `tag` in the IFD at TIFF offset `ifd`, for
// tests that break one field; the block's own byte order is read.
std::size_t EntryAt(const Block& block, std::size_t ifd, std::uint16_t tag) {
  const bool little = block[6] == 'I';
  const auto get16 = [&](std::size_t at) -> unsigned {
    return little ? (block[6 + at] | block[7 + at] << 8) : (block[6 + at] << 8 | block[7 + at]);
  };
  for (unsigned i = 0; i < get16(ifd); ++i) {
    if (get16(ifd + 2 + 12 * i) == tag) return ifd + 2 + 12 * i;
  }
  ADD_FAILURE() << "no tag " << tag;
  return 0;
}

std::uint32_t Get32(const Block& block, std::size_t at) {
  const bool little = block[6] == 'I';
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(block[6 + at + (little ? i : 3 - i)]) << (8 * i);
  }
  return value;
}

void Put32(Block& block, std::size_t at, std::uint32_t value) {
  const bool little = block[6] == 'I';
  for (int i = 0; i < 4; ++i) {
    block[6 + at + (little ? i : 3 - i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

TEST(ExifOrientation, ReadsIfd0InBothByteOrders) {
  for (const bool little : {false, true}) {
    for (int value = 0; value <= 10; ++value) {
      SCOPED_TRACE(std::string(little ? "II " : "MM ") + std::to_string(value));
      const int expected = value >= 1 && value <= 8 ? value : 1;
      EXPECT_EQ(ExifOrientation(Camera({.little = little, .orientation = value})), expected);
    }
  }
}

TEST(ExifOrientation, OneWhenThereIsNoUsableTag) {
  ExifBlock b(true);
  b.ifd0 = {b.Ascii(Make, "x")};
  EXPECT_EQ(ExifOrientation(b.Build()), 1) << "no orientation tag";
  b.ifd0 = {b.Long(Orientation, 8)};
  EXPECT_EQ(ExifOrientation(b.Build()), 8) << "a LONG is read as well";
  b.ifd0 = {{Orientation, 3, 2, b.Bytes(6, 2)}};
  EXPECT_EQ(ExifOrientation(b.Build()), 1) << "two values";
  b.ifd0 = {b.Ascii(Orientation, "6")};
  EXPECT_EQ(ExifOrientation(b.Build()), 1) << "text";
  b.ifd0.clear();
  b.exif = {b.Short(Orientation, 6)};
  EXPECT_EQ(ExifOrientation(b.Build()), 1) << "only IFD0 counts";
  EXPECT_EQ(ExifOrientation({}), 1);
  Block notExif = Camera({});
  notExif[0] = 'e';
  EXPECT_EQ(ExifOrientation(notExif), 1);
  Block cut = Camera({});
  cut.resize(20);
  EXPECT_EQ(ExifOrientation(cut), 1) << "IFD0 cut off";
}

struct RewriteCase {
  const char* why;
  CameraBlock block;
  ExifRewrite rewrite;
};

// Each rewritten block is read back by exiftool from a JPEG that carries it:
// the orientation, the pixel size, the kept date, make and GPS reference,
// no thumbnail, and no warning about the structure. A second rewrite with
// the same changes gives the same bytes.
TEST(RewriteExif, GivesTheOutputsOrientationAndSizeWithoutTheThumbnailAsExiftoolReadsIt) {
  const RewriteCase cases[] = {
      {"big-endian, SHORT sizes", {}, {true, 2000, 1401}},
      {"little-endian, SHORT sizes", {.little = true}, {true, 2000, 1401}},
      {"orientation kept", {.little = true}, {false, 1401, 2000}},
      {"LONG sizes", {.dimensions = Dimensions::Long}, {true, 640, 480}},
      {"SHORT too small for the size", {.little = true}, {true, 70000, 65536}},
      {"sizes missing", {.dimensions = Dimensions::Absent}, {true, 2000, 1401}},
      {"sizes missing, II", {.little = true, .dimensions = Dimensions::Absent}, {true, 9, 7}},
      {"no Exif sub-IFD", {.dimensions = Dimensions::NoExifIfd}, {true, 2000, 1401}},
      {"no Exif sub-IFD, II", {.little = true, .dimensions = Dimensions::NoExifIfd}, {false, 5, 6}},
      {"no thumbnail", {.thumbnail = false}, {true, 2000, 1401}},
      {"thumbnail before the Exif sub-IFD", {.thumbnailFirst = true}, {true, 2000, 1401}},
      {"maker note", {.little = true, .makerNote = 301}, {true, 2000, 1401}},
  };
  Sandbox sandbox;
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.why);
    const Block original = Camera(c.block);
    const std::optional<Block> rewritten = RewriteExif(original, c.rewrite);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(RewriteExif(*rewritten, c.rewrite), rewritten);
    const std::vector<std::string> values =
        ReadBack(sandbox, *rewritten,
                 {"IFD0:Orientation", "ExifIFD:ExifImageWidth", "ExifIFD:ExifImageHeight",
                  "ExifIFD:DateTimeOriginal", "IFD0:Make", "GPS:GPSLatitudeRef",
                  "IFD1:ThumbnailLength", "IFD1:Compression", "ExifTool:Warning"});
    const bool hasDate = c.block.dimensions != Dimensions::NoExifIfd;
    const std::vector<std::string> expected = {c.rewrite.resetOrientation ? "1" : "6",
                                               std::to_string(c.rewrite.width),
                                               std::to_string(c.rewrite.height),
                                               hasDate ? "2024:05:01 10:20:30" : "-",
                                               "Quorvale Test Camera",
                                               "N",
                                               "-",
                                               "-",
                                               "-"};
    EXPECT_EQ(values, expected);
  }
}

// The resolution the JFIF header is given: XResolution (72/1 in the
// camera's block) rewritten, YResolution and ResolutionUnit added, also
// when IFD0 gains an Exif sub-IFD in the same rewrite; and in crafted
// blocks whose resolution values lie over entries or the TIFF header.
TEST(RewriteExif, SetsTheResolutionInInchesWhenAsked) {
  struct Case {
    std::string why;
    Block block;
  };
  std::vector<Case> cases = {{"MM", Camera({})},
                             {"II", Camera({.little = true})},
                             {"no Exif sub-IFD", Camera({.dimensions = Dimensions::NoExifIfd})}};
  for (const bool little : {false, true}) {
    for (const testing::Overlap overlap : testing::Overlaps) {
      cases.push_back({std::string(little ? "II" : "MM") + " overlap " +
                           std::to_string(static_cast<int>(overlap)),
                       testing::OverlappingExif(overlap, little)});
    }
  }
  Sandbox sandbox;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const ExifRewrite rewrite{true, 2000, 1401, 300};
    const std::optional<Block> rewritten = RewriteExif(c.block, rewrite);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(RewriteExif(*rewritten, rewrite), rewritten);
    EXPECT_EQ(
        ReadBack(sandbox, *rewritten,
                 {"IFD0:XResolution", "IFD0:YResolution", "IFD0:ResolutionUnit", "IFD0:Orientation",
                  "ExifIFD:ExifImageWidth", "IFD0:Make", "ExifTool:Warning"}),
        (std::vector<std::string>{"300", "300", "2", "1", "2000", "Quorvale Test Camera", "-"}));
  }
}

// Wherever the thumbnail was, what is written is the layout the camera
// would have made without it.
TEST(RewriteExif, LeavesOutTheThumbnailWhereverItWas) {
  for (const bool little : {false, true}) {
    SCOPED_TRACE(little ? "II" : "MM");
    const Block bare = Camera({.little = little, .orientation = 1, .thumbnail = false});
    for (const bool thumbnailFirst : {false, true}) {
      const Block original =
          Camera({.little = little, .orientation = 1, .thumbnailFirst = thumbnailFirst});
      EXPECT_EQ(RewriteExif(original, {true, 4032, 3024}), bare);
    }
  }
}

TEST(RewriteExif, MalformedBlocksGiveNoExif) {
  struct Broken {
    const char* why;
    std::function<void(Block&)> breakIt;
  };
  const Broken cases[] = {
      {"not Exif", [](Block& b) { b[3] = 'F'; }},
      {"only the Exif header", [](Block& b) { b.resize(6); }},
      {"cut inside the TIFF header", [](Block& b) { b.resize(12); }},
      {"unknown byte order", [](Block& b) { b[6] = 'X'; }},
      {"mixed byte order marks", [](Block& b) { b[7] = b[6] == 'I' ? 'M' : 'I'; }},
      {"not 42", [](Block& b) { b[9] = 43; }},
      {"IFD0 past the end", [](Block& b) { Put32(b, 4, 0x7FFFFFF0); }},
      {"IFD0 inside the TIFF header", [](Block& b) { Put32(b, 4, 4); }},
      {"IFD0 entries past the end", [](Block& b) { b[6 + 8] = 0x7F; }},
      {"IFD0 cut in its entries", [](Block& b) { b.resize(6 + 8 + 2 + 12 * 2); }},
      {"IFD0 text past the end",
       [](Block& b) { Put32(b, EntryAt(b, 8, Make) + 8, static_cast<std::uint32_t>(b.size())); }},
      {"Exif pointer past the end",
       [](Block& b) { Put32(b, EntryAt(b, 8, 0x8769) + 8, 0xFFFFFFF0); }},
      {"Exif pointer of two values", [](Block& b) { Put32(b, EntryAt(b, 8, 0x8769) + 4, 2); }},
      {"Exif sub-IFD text past the end",
       [](Block& b) {
         const std::size_t exif = Get32(b, EntryAt(b, 8, 0x8769) + 8);
         Put32(b, EntryAt(b, exif, DateTimeOriginal) + 8, 0xFFFFFFF0);
       }},
      {"GPS pointer past the end",
       [](Block& b) { Put32(b, EntryAt(b, 8, 0x8825) + 8, 0xFFFFFF00); }},
      {"Exif sub-IFD is IFD0", [](Block& b) { Put32(b, EntryAt(b, 8, 0x8769) + 8, 8); }},
      {"GPS IFD is the Exif sub-IFD",
       [](Block& b) { Put32(b, EntryAt(b, 8, 0x8825) + 8, Get32(b, EntryAt(b, 8, 0x8769) + 8)); }},
      {"Exif sub-IFD inside IFD0's entries",
       [](Block& b) { Put32(b, EntryAt(b, 8, 0x8769) + 8, EntryAt(b, 8, Make)); }},
      {"Exif sub-IFD rational count overflowing",
       [](Block& b) {
         const std::size_t exif = Get32(b, EntryAt(b, 8, 0x8769) + 8);
         Put32(b, EntryAt(b, exif, ExposureTime) + 4, 0x20000001);
       }},
  };
  for (const bool little : {false, true}) {
    for (const Broken& c : cases) {
      SCOPED_TRACE(std::string(little ? "II " : "MM ") + c.why);
      Block block = Camera({.little = little});
      c.breakIt(block);
      EXPECT_FALSE(RewriteExif(block, {true, 100, 100}));
    }
  }
}

TEST(RewriteExif, RefusesAResultTooLongForOneSegment) {
  // A maker note that leaves 10 bytes of room, less than the two entries
  // the sizes add (24 bytes).
  const Block fits = Camera({.dimensions = Dimensions::Absent, .thumbnail = false});
  const std::size_t room = MaxExifBlockBytes - fits.size() - 12;  // the maker note's entry
  const Block full =
      Camera({.dimensions = Dimensions::Absent, .thumbnail = false, .makerNote = room - 10});
  ASSERT_LE(full.size(), MaxExifBlockBytes);
  ASSERT_GT(full.size() + 24, MaxExifBlockBytes);
  EXPECT_FALSE(RewriteExif(full, {true, 100, 100}));
  // With the sizes already there nothing grows, and the block passes.
  const Block present = Camera({.thumbnail = false, .makerNote = room - 10 - 24});
  ASSERT_LE(present.size(), MaxExifBlockBytes);
  EXPECT_TRUE(RewriteExif(present, {true, 100, 100}));
}

// Every prefix and every byte set to 0x00 or 0xFF: no read outside the block
// (the sanitizer build checks), a valid orientation, and either no Exif or
// one that fits a segment and that a second rewrite keeps.
TEST(RewriteExif, HostileBytesAreSafe) {
  for (const bool little : {false, true}) {
    const Block original = Camera({.little = little});
    for (std::size_t length = 0; length < original.size(); ++length) {
      const Block cut(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(length));
      const std::optional<Block> rewritten = RewriteExif(cut, {true, 1, 1});
      if (rewritten) {
        EXPECT_LE(rewritten->size(), MaxExifBlockBytes);
        EXPECT_EQ(RewriteExif(*rewritten, {true, 1, 1}), rewritten);
      }
      const int orientation = ExifOrientation(cut);
      EXPECT_TRUE(orientation >= 1 && orientation <= 8);
    }
    for (std::size_t at = 6; at < original.size(); ++at) {
      for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        Block changed = original;
        changed[at] = value;
        const std::optional<Block> rewritten = RewriteExif(changed, {true, 1, 1});
        if (rewritten) {
          EXPECT_LE(rewritten->size(), MaxExifBlockBytes);
          EXPECT_EQ(RewriteExif(*rewritten, {true, 1, 1}), rewritten);
        }
        const int orientation = ExifOrientation(changed);
        EXPECT_TRUE(orientation >= 1 && orientation <= 8);
      }
    }
  }
}

}  // namespace
}  // namespace quorvale
