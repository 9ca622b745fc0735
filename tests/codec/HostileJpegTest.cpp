// Crafted files against the decoder's bounds: work, reading, density
// and which warnings count. Every file is made here, small; the large ones
// are sparse.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codec/JpegFile.h"
#include "codec/JpegReader.h"
#include "codec/PhotoReader.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::MakeJpeg;
using testing::RepeatLastScan;
using testing::Sandbox;
using testing::TestJpegOptions;

testing::Rgb Flat(int, int) {
  return {120, 130, 140};
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Bytes this process has asked read() for so far.
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

// `jpeg` (any SOF kind) claiming width x height.
std::string WithSize(std::string jpeg, int width, int height) {
  for (std::size_t at = 0; at + 9 < jpeg.size(); ++at) {
    const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
    if (static_cast<unsigned char>(jpeg[at]) == 0xFF &&
        (marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA)) {
      jpeg[at + 5] = static_cast<char>(height >> 8);
      jpeg[at + 6] = static_cast<char>(height & 0xFF);
      jpeg[at + 7] = static_cast<char>(width >> 8);
      jpeg[at + 8] = static_cast<char>(width & 0xFF);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no SOF marker";
  return jpeg;
}

// The header of `jpeg`: everything up to the end of its first SOS segment.
std::string HeaderOf(const std::string& jpeg) {
  const std::size_t sos = jpeg.find("\xFF\xDA");
  const std::size_t length =
      (static_cast<unsigned char>(jpeg[sos + 2]) << 8) | static_cast<unsigned char>(jpeg[sos + 3]);
  return jpeg.substr(0, sos + 2 + length);
}

// A progressive grey file whose last scan (a refinement of every AC
// coefficient, a full pass over the picture) is repeated: each copy costs a
// pass and a few bytes. The file decodes with the copies counted as
// corrupt data, until their work passes the budget; the file on disk and the
// same bytes in memory are judged alike.
TEST(HostileJpeg, RepeatedScansAreDecodedWithinTheBudgetOrRefused) {
  const std::string progressive =
      MakeJpeg(2048, 2048, Flat, {.grayscale = true, .progressive = true});
  struct Row {
    int copies;
    int code;
  } rows[] = {{0, 0}, {3, 0}, {40, -2}, {400, -2}};
  Sandbox sandbox;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.copies);
    const std::string file = RepeatLastScan(progressive, row.copies);
    EXPECT_LT(file.size(), 64u * 1024);
    sandbox.Write("scans.jpg", file);
    Bitmap fromFile(3, 2);
    Bitmap fromMemory(3, 2);
    const DecodeResult onDisk = LoadPhotoFile(sandbox.Path("scans.jpg"), fromFile);
    const DecodeResult inMemory = DecodeJpegMemory(Bytes(file), fromMemory);
    for (const DecodeResult& result : {onDisk, inMemory}) {
      EXPECT_EQ(result.Ok(), row.code == 0);
      EXPECT_NE(result.status, DecodeStatus::Cancelled);
      if (row.code != 0) {
        EXPECT_EQ(result.reason, "the scans ask for more decoding work than the picture needs");
      }
      EXPECT_EQ(result.warnings > 0, row.copies > 0) << result.warning;
    }
    if (row.code == 0) {
      EXPECT_EQ(fromFile.Width(), 2048);
    }
  }
}

// Large files that are no photo, or whose photo is small, are judged by what
// their start says: at most the first megabyte is read (a sparse file here,
// so the test writes little) and the end is never reached.
TEST(HostileJpeg, HugeFilesAreJudgedByTheirStartWithoutBeingReadWhole) {
  constexpr off_t Huge = off_t{1} << 30;
  const std::string photo = MakeJpeg(64, 48, testing::PhotoPixel);
  struct Row {
    const char* name;
    std::string start;
    int code;
    const char* reason;
  } rows[] = {
      {"zeros.jpg", "", -2, "Not a JPEG file: starts with 0x00 0x00"},
      {"soi-then-zeros.jpg", "\xFF\xD8", -2, "no JPEG header at the start of the file"},
      {"photo-then-zeros.jpg", photo, 0, ""},
      {"header-then-zeros.jpg", HeaderOf(photo), 0, ""},
  };
  Sandbox sandbox;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sandbox.Write(row.name, row.start);
    ASSERT_EQ(truncate(sandbox.Path(row.name).c_str(), Huge), 0);
    const long long before = BytesRead();
    Bitmap bitmap;
    const DecodeResult result = LoadPhotoFile(sandbox.Path(row.name), bitmap);
    // Declined at its header, a photo is read no further.
    std::uint64_t asked = 0;
    Bitmap declined;
    const OpenedPhoto opened = OpenPhotoFile(sandbox.Path(row.name));
    const DecodeResult header = opened.reader
                                    ? DecodeToBitmap(*opened.reader, declined, std::nullopt, {},
                                                     [&](std::uint64_t bytes) {
                                                       asked = bytes;
                                                       return false;
                                                     })
                                    : opened.failure;
    EXPECT_LT(BytesRead() - before, 3LL << 20);
    EXPECT_EQ(result.Ok(), row.code == 0);
    EXPECT_EQ(result.reason, row.reason);
    EXPECT_EQ(header.status == DecodeStatus::Declined, row.code == 0);
    EXPECT_EQ(asked, row.code == 0 ? static_cast<std::uint64_t>(RowBytes(64)) * 48 : 0);
    if (row.code == 0) {
      EXPECT_EQ(bitmap.Width(), 64);
    }
  }
}

// A progressive file is read to its end before the first row comes out; a
// long stretch of junk there is read piece by piece, each piece asking the
// cancel check, so a cancel ends it at once.
TEST(HostileJpeg, CancelIsAskedWhileJunkIsRead) {
  const std::string photo = MakeJpeg(64, 48, testing::PhotoPixel, {.progressive = true});
  Sandbox sandbox;
  sandbox.Write("junk.jpg", photo.substr(0, photo.size() - 2));
  ASSERT_EQ(truncate(sandbox.Path("junk.jpg").c_str(), off_t{1} << 30), 0);
  int asked = 0;
  const CancelCheck cancel = [&] { return ++asked > 40; };
  const long long before = BytesRead();
  Bitmap bitmap;
  const DecodeResult result = LoadPhotoFile(sandbox.Path("junk.jpg"), bitmap, cancel);
  EXPECT_LT(BytesRead() - before, 8LL << 20);
  EXPECT_NE(result.status, DecodeStatus::Decoded);
  EXPECT_EQ(result.status, DecodeStatus::Cancelled);
}

// Arithmetic coding packs a flat picture of any size into a dozen coded
// bytes: such files decode up to 64 megapixels, and a header with nothing
// after it, or one claiming more than that from a few bytes, is refused.
// Huffman files still need a byte per 1024 pixels. Refusals come before
// the bitmap is touched.
TEST(HostileJpeg, ArithmeticCodingsDensityIsAllowedAndHeaderBombsAreNot) {
  const std::string arithmetic = MakeJpeg(6000, 4000, Flat, {.arithmetic = true});
  const std::string progressiveArithmetic =
      MakeJpeg(6000, 4000, Flat, {.grayscale = true, .progressive = true, .arithmetic = true});
  const std::string huffman = MakeJpeg(64, 64, Flat, {.quality = 75});
  ASSERT_LT(arithmetic.size(), 400u);
  struct Row {
    const char* name;
    std::string file;
    int code;
    int width;
  } rows[] = {
      {"flat arithmetic", arithmetic, 0, 6000},
      {"flat progressive arithmetic", progressiveArithmetic, 0, 6000},
      {"arithmetic claiming 8192 x 8192", WithSize(arithmetic, 8192, 8192), 0, 8192},
      {"arithmetic claiming 8193 x 8192", WithSize(arithmetic, 8193, 8192), -2, 3},
      {"arithmetic header alone", HeaderOf(arithmetic), -2, 3},
      {"huffman claiming 6000 x 4000", WithSize(huffman, 6000, 4000), -2, 3},
      {"huffman claiming 300 x 200", WithSize(huffman, 300, 200), 0, 300},
  };
  Sandbox sandbox;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sandbox.Write("a.jpg", row.file);
    Bitmap bitmap(3, 2);
    const DecodeResult result = LoadPhotoFile(sandbox.Path("a.jpg"), bitmap);
    EXPECT_EQ(result.Ok(), row.code == 0) << result.reason;
    EXPECT_EQ(bitmap.Width(), row.width);
  }
  Bitmap decoded;
  ASSERT_EQ(DecodeJpegMemory(Bytes(arithmetic), decoded).status, DecodeStatus::Decoded);
  EXPECT_EQ(decoded.Height(), 4000);
  const std::uint8_t* middle = decoded.Row(2000) + 3 * 3000;
  EXPECT_NEAR(middle[2], 120, 2);
  EXPECT_NEAR(middle[0], 140, 2);
}

// Only warnings about the picture's data count: a file cut short or with
// damaged bytes, not one with an unknown JFIF revision.
TEST(HostileJpeg, OnlyDataWarningsAreCounted) {
  const std::string photo = MakeJpeg(96, 64, testing::PhotoPixel, {.quality = 80});
  std::string revision = photo;
  revision[revision.find("JFIF") + 5] = 9;  // major version 9
  std::string damaged = photo;
  const std::size_t data = HeaderOf(photo).size();
  for (std::size_t i = data + 40; i < data + 60; ++i) damaged[i] = static_cast<char>(0xFF);
  struct Row {
    const char* name;
    std::string file;
    bool warned;
    std::string words;
  } rows[] = {
      {"intact", photo, false, ""},
      {"future JFIF revision", revision, false, ""},
      {"cut short", photo.substr(0, data + 100), true, "Premature end of JPEG file"},
      {"damaged", damaged, true, "Corrupt JPEG data"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Bitmap bitmap;
    const DecodeResult result = DecodeJpegMemory(Bytes(row.file), bitmap);
    EXPECT_EQ(result.status, DecodeStatus::Decoded) << result.reason;
    EXPECT_EQ(result.warnings > 0, row.warned);
    EXPECT_TRUE(result.warning.starts_with(row.words)) << result.warning;
  }
}

}  // namespace
}  // namespace quorvale
