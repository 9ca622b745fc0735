#include "codec/JpegMetadata.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "support/ExifBlock.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::ExifWithOrientation;
using testing::Sandbox;
using Bytes = std::vector<std::uint8_t>;

Bytes Segment(std::uint8_t marker, const Bytes& payload) {
  Bytes segment = {0xFF, marker, static_cast<std::uint8_t>((payload.size() + 2) >> 8),
                   static_cast<std::uint8_t>(payload.size() + 2)};
  segment.insert(segment.end(), payload.begin(), payload.end());
  return segment;
}

Bytes IccChunk(int sequence, int count, const Bytes& data) {
  Bytes payload = {'I',
                   'C',
                   'C',
                   '_',
                   'P',
                   'R',
                   'O',
                   'F',
                   'I',
                   'L',
                   'E',
                   0,
                   static_cast<std::uint8_t>(sequence),
                   static_cast<std::uint8_t>(count)};
  payload.insert(payload.end(), data.begin(), data.end());
  return Segment(0xE2, payload);
}

const Bytes Jfif = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
const Bytes ScanStart = {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 63, 0};

// SOI, the segments in order, then the start of a scan.
Bytes Head(const std::vector<Bytes>& segments, bool withScan = true) {
  Bytes head = {0xFF, 0xD8};
  for (const Bytes& segment : segments) head.insert(head.end(), segment.begin(), segment.end());
  if (withScan) head.insert(head.end(), ScanStart.begin(), ScanStart.end());
  return head;
}

TEST(ReadJpegMetadata, FindsExifAndPutsIccChunksInSequenceOrder) {
  const Bytes exif = ExifWithOrientation(6);
  const Bytes head =
      Head({Segment(0xE0, Jfif), Segment(0xE1, exif), IccChunk(3, 3, {7, 8}),
            IccChunk(1, 3, {1, 2, 3}), Segment(0xDB, Bytes(65, 0)), IccChunk(2, 3, {4, 5, 6})});
  const JpegMetadata metadata = ReadJpegMetadata(head);
  EXPECT_TRUE(metadata.complete);
  EXPECT_EQ(metadata.exif, exif);
  EXPECT_EQ(metadata.orientation, 6);
  EXPECT_EQ(metadata.icc, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ReadJpegMetadata, ReadsTheOrientationInBothByteOrders) {
  for (const bool little : {false, true}) {
    for (int value = 0; value <= 9; ++value) {
      SCOPED_TRACE(std::to_string(value) + (little ? " II" : " MM"));
      const JpegMetadata metadata =
          ReadJpegMetadata(Head({Segment(0xE1, ExifWithOrientation(value, little))}));
      EXPECT_EQ(metadata.orientation, value >= 1 && value <= 8 ? value : 1);
    }
  }
}

TEST(ReadJpegMetadata, TakesTheFirstExifAndSkipsOtherApp1Segments) {
  const std::string xmpText = "http://ns.adobe.com/xap/1.0/";
  Bytes xmp(xmpText.begin(), xmpText.end());
  xmp.push_back(0);
  const Bytes first = ExifWithOrientation(8);
  const JpegMetadata metadata = ReadJpegMetadata(
      Head({Segment(0xE1, xmp), Segment(0xE1, first), Segment(0xE1, ExifWithOrientation(3))}));
  EXPECT_EQ(metadata.exif, first);
  EXPECT_EQ(metadata.orientation, 8);
}

TEST(ReadJpegMetadata, SkipsFillBytesAndStandaloneMarkers) {
  Bytes head = {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0x01};  // fill bytes, then TEM
  const Bytes exif = Segment(0xE1, ExifWithOrientation(5));
  head.insert(head.end(), exif.begin(), exif.end());
  head.insert(head.end(), {0xFF, 0xD0});  // a restart marker, out of place but harmless
  head.insert(head.end(), ScanStart.begin(), ScanStart.end());
  const JpegMetadata metadata = ReadJpegMetadata(head);
  EXPECT_TRUE(metadata.complete);
  EXPECT_EQ(metadata.orientation, 5);
}

TEST(ReadJpegMetadata, RefusesInconsistentIccChunks) {
  struct Case {
    const char* why;
    std::vector<Bytes> chunks;
  };
  const Case cases[] = {
      {"a chunk missing", {IccChunk(1, 3, {1}), IccChunk(3, 3, {3})}},
      {"counts disagree", {IccChunk(1, 2, {1}), IccChunk(2, 3, {2})}},
      {"a number twice", {IccChunk(1, 2, {1}), IccChunk(1, 2, {1}), IccChunk(2, 2, {2})}},
      {"number 0", {IccChunk(0, 1, {1})}},
      {"number above the count", {IccChunk(1, 1, {1}), IccChunk(2, 1, {2})}},
      {"count 0", {IccChunk(0, 0, {1})}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const JpegMetadata metadata = ReadJpegMetadata(Head(c.chunks));
    EXPECT_TRUE(metadata.complete);
    EXPECT_TRUE(metadata.icc.empty());
  }
  const JpegMetadata one = ReadJpegMetadata(Head({IccChunk(1, 1, {})}));
  EXPECT_TRUE(one.icc.empty()) << "a profile of no bytes is none";
  Bytes shortChunk = IccChunk(1, 1, {});
  shortChunk.resize(shortChunk.size() - 1);
  shortChunk[3] -= 1;  // the segment ends inside the chunk header
  EXPECT_TRUE(ReadJpegMetadata(Head({shortChunk})).complete);
}

TEST(ReadJpegMetadata, StopsAtWhatIsNotAJpegHead) {
  const Bytes exif = Segment(0xE1, ExifWithOrientation(6));
  struct Case {
    const char* why;
    Bytes head;
    bool exifFound;
  };
  Bytes noSoi = Head({exif});
  noSoi[1] = 0xD9;
  Bytes garbageAfterExif = Head({exif}, false);
  garbageAfterExif.insert(garbageAfterExif.end(), {0x12, 0x34});
  Bytes lengthBelowTwo = Head({exif}, false);
  lengthBelowTwo.insert(lengthBelowTwo.end(), {0xFF, 0xE2, 0x00, 0x01});
  Bytes stuffedZero = Head({exif}, false);
  stuffedZero.insert(stuffedZero.end(), {0xFF, 0x00});
  Bytes secondSoi = Head({exif}, false);
  secondSoi.insert(secondSoi.end(), {0xFF, 0xD8, 0xFF, 0xDA});
  const Case cases[] = {
      {"empty", {}, false},
      {"one byte", {0xFF}, false},
      {"no SOI", noSoi, false},
      {"bytes that are no marker", garbageAfterExif, true},
      {"segment length below 2", lengthBelowTwo, true},
      {"0xFF 0x00 where a marker belongs", stuffedZero, true},
      {"a second SOI", secondSoi, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const JpegMetadata metadata = ReadJpegMetadata(c.head);
    EXPECT_FALSE(metadata.complete);
    EXPECT_EQ(metadata.orientation, c.exifFound ? 6 : 1);
  }
  const JpegMetadata eoi = ReadJpegMetadata(Head({exif, Bytes{0xFF, 0xD9}}, false));
  EXPECT_TRUE(eoi.complete) << "the end of the picture ends the walk too";
}

// Every prefix of a head: nothing is read past it (the sanitizer build
// checks), the profile comes only once the scan is reached, and a segment is
// taken only when it is there whole.
TEST(ReadJpegMetadata, CutHeadsAreSafe) {
  const Bytes exif = ExifWithOrientation(7, true);
  const Bytes head = Head({Segment(0xE0, Jfif), Segment(0xE1, exif), IccChunk(1, 2, Bytes(300, 1)),
                           IccChunk(2, 2, Bytes(200, 2))});
  const std::size_t exifEnd = 2 + Segment(0xE0, Jfif).size() + Segment(0xE1, exif).size();
  // The walk ends at the SOS marker itself; its segment need not be there.
  const std::size_t scanSeen = head.size() - ScanStart.size() + 2;
  for (std::size_t length = 0; length <= head.size(); ++length) {
    SCOPED_TRACE(length);
    const std::span<const std::uint8_t> cut(head.data(), length);
    const JpegMetadata metadata = ReadJpegMetadata(cut);
    EXPECT_EQ(metadata.complete, length >= scanSeen);
    EXPECT_EQ(metadata.icc.size(), length >= scanSeen ? 500u : 0u);
    EXPECT_EQ(metadata.orientation, length >= exifEnd ? 7 : 1);
  }
}

// A file whose markers libjpeg wrote: the largest profile a file can carry
// (255 full chunks) makes the head far longer than a piece read and than
// the megabyte the rest of a head may take; the opening gives it whole, and
// the photo still decodes through the same reader.
TEST(PhotoHeader, HoldsTheLargestProfileAndThePhotoStillDecodes) {
  Bytes profile(std::size_t{255} * 65519);
  for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes exif = ExifWithOrientation(3);

  const auto gray = [](int, int) { return testing::Rgb{128, 128, 128}; };
  Sandbox sandbox;
  sandbox.Write("photo.jpg",
                testing::MakeJpeg(16, 8, gray, {.quality = 75, .app1 = exif, .icc = profile}));

  const OpenedPhoto opened = OpenPhotoFile(sandbox.Path("photo.jpg"));
  ASSERT_TRUE(opened.reader) << opened.failure.reason;
  const PhotoHeader& header = opened.reader->Header();
  EXPECT_EQ(header.orientation, 3);
  EXPECT_EQ(header.exif, exif);
  EXPECT_EQ(header.icc, profile);
  EXPECT_EQ(header.size, (PixelSize{16, 8}));
  Bitmap bitmap;
  const DecodeResult decoded = DecodeToBitmap(*opened.reader, bitmap);
  EXPECT_EQ(decoded.status, DecodeStatus::Decoded) << decoded.reason;
  EXPECT_EQ(bitmap.Width(), 16);
}

}  // namespace
}  // namespace quorvale
