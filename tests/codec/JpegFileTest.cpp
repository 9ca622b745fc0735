#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "platform/FileSystem.h"
#include "support/PhotoBitmap.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::MakeJpeg;
using testing::Sandbox;
using testing::TestJpegOptions;

Bitmap PhotoBitmap(int width, int height) {
  return testing::PhotoBitmap(width, height, 7, 5);
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// Runs a shell command; its exit status, or -1 when it did not exit.
int RunTool(const std::string& command) {
  const int status = std::system((command + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A binary PPM (P6) or PGM (P5) with maxval 255, as cjpeg reads and djpeg writes.
struct Pnm {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::string pixels;
};

std::string ToPpm(const Bitmap& bitmap) {
  std::string out =
      "P6\n" + std::to_string(bitmap.Width()) + " " + std::to_string(bitmap.Height()) + "\n255\n";
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t* p = bitmap.Row(y) + 3 * x;
      out += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0])};
    }
  }
  return out;
}

Pnm ParsePnm(const std::string& bytes) {
  std::istringstream in(bytes);
  std::string magic;
  int maxval = 0;
  Pnm pnm;
  in >> magic >> pnm.width >> pnm.height >> maxval;
  in.get();
  pnm.channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
  pnm.pixels = bytes.substr(static_cast<std::size_t>(in.tellg()));
  return pnm;
}

// Empty when `bitmap` holds exactly the pixels of `pnm` (a PGM gray g meaning
// B = G = R = g); otherwise the first difference.
std::string Difference(const Bitmap& bitmap, const Pnm& pnm) {
  if (pnm.width != bitmap.Width() || pnm.height != bitmap.Height() || pnm.channels == 0 ||
      pnm.pixels.size() != std::size_t(pnm.width) * pnm.height * pnm.channels) {
    return "size " + std::to_string(bitmap.Width()) + "x" + std::to_string(bitmap.Height()) +
           " vs " + std::to_string(pnm.width) + "x" + std::to_string(pnm.height);
  }
  for (int y = 0; y < pnm.height; ++y) {
    for (int x = 0; x < pnm.width; ++x) {
      const std::uint8_t* p = bitmap.Row(y) + 3 * x;
      const auto* q = reinterpret_cast<const std::uint8_t*>(pnm.pixels.data()) +
                      (std::size_t(y) * pnm.width + x) * pnm.channels;
      const int r = q[0], g = q[pnm.channels == 3 ? 1 : 0], b = q[pnm.channels == 3 ? 2 : 0];
      if (p[2] != r || p[1] != g || p[0] != b) {
        return "pixel " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return "";
}

// Marker codes of a JPEG in file order, and the payloads of its segments.
struct Segment {
  int marker;
  std::string payload;
};

std::vector<Segment> Segments(const std::string& jpeg) {
  std::vector<Segment> segments;
  std::size_t i = 0;
  while (i + 1 < jpeg.size()) {
    const int marker = static_cast<unsigned char>(jpeg[i + 1]);
    i += 2;
    if (marker == 0xD8 || marker == 0xD9) {
      segments.push_back({marker, ""});
      continue;
    }
    const std::size_t length =
        static_cast<unsigned char>(jpeg[i]) * 256 + static_cast<unsigned char>(jpeg[i + 1]);
    segments.push_back({marker, jpeg.substr(i + 2, length - 2)});
    i += length;
    if (marker == 0xDA) {  // entropy-coded data up to the next marker other than a stuffed 0
      while (i + 1 < jpeg.size() &&
             !(jpeg[i] == '\xFF' && jpeg[i + 1] != 0 && (jpeg[i + 1] & 0xF8) != 0xD0)) {
        ++i;
      }
    }
  }
  return segments;
}

std::set<int> MarkerSet(const std::string& jpeg) {
  std::set<int> markers;
  for (const Segment& s : Segments(jpeg)) markers.insert(s.marker);
  return markers;
}

// The 64 entries of each 8-bit quantization table, in file order.
std::vector<std::vector<int>> QuantizationTables(const std::string& jpeg) {
  std::vector<std::vector<int>> tables;
  for (const Segment& s : Segments(jpeg)) {
    for (std::size_t i = 0; s.marker == 0xDB && i + 65 <= s.payload.size(); i += 65) {
      EXPECT_EQ(s.payload[i] >> 4, 0) << "16-bit table";
      tables.emplace_back(s.payload.begin() + i + 1, s.payload.begin() + i + 65);
      for (int& v : tables.back()) v &= 0xFF;
    }
  }
  return tables;
}

// Overwrites the size fields of the first SOF marker.
std::string WithDimensions(std::string jpeg, int width, int height) {
  const std::size_t sof = jpeg.find("\xFF\xC0");
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

testing::Rgb GrayRamp(int x, int y) {
  const auto v = static_cast<std::uint8_t>((x * 3 + y) % 256);
  return {v, v, v};
}

TEST(EncodeJpeg, WritesTheBytesOfCjpegWithFloatDctAndForcedBaseline) {
  Sandbox sandbox;
  for (auto [width, height] : {std::pair{1, 1}, {17, 9}, {333, 101}}) {
    const Bitmap bitmap = PhotoBitmap(width, height);
    sandbox.Write("in.ppm", ToPpm(bitmap));
    for (int quality : {0, 1, 50, 90, 100}) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " quality " +
                   std::to_string(quality));
      ASSERT_EQ(
          RunTool("cjpeg -dct float -quality " + std::to_string(quality) + " -baseline -outfile " +
                  Quoted(sandbox.Path("ref.jpg")) + " " + Quoted(sandbox.Path("in.ppm"))),
          0);
      const auto encoded = EncodeJpeg(bitmap, quality);
      ASSERT_TRUE(encoded);
      EXPECT_TRUE(Bytes(*encoded) == sandbox.Read("ref.jpg"));
    }
  }
}

TEST(EncodeJpeg, ScalesTheStandardTablesByTheQualityRule) {
  struct Row {
    int quality;
    int lumaDc, chromaDc;  // first entry of each table (16 and 17 at quality 50)
    int allEqual;          // every entry of both tables, or 0
  } rows[] = {{-5, 255, 255, 255}, {0, 255, 255, 255}, {1, 255, 255, 255}, {50, 16, 17, 0},
              {75, 8, 9, 0},       {90, 3, 3, 0},      {100, 1, 1, 1},     {250, 1, 1, 1}};
  const Bitmap bitmap = PhotoBitmap(16, 16);
  for (const Row& row : rows) {
    SCOPED_TRACE("quality " + std::to_string(row.quality));
    const auto tables = QuantizationTables(Bytes(*EncodeJpeg(bitmap, row.quality)));
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0][0], row.lumaDc);
    EXPECT_EQ(tables[1][0], row.chromaDc);
    for (const auto& table : tables) {
      for (int entry : table) {
        if (row.allEqual != 0) {
          EXPECT_EQ(entry, row.allEqual);
        }
      }
    }
  }
}

TEST(EncodeJpeg, WritesBaselineJfifAndNoOtherMarker) {
  const std::string jpeg = Bytes(*EncodeJpeg(PhotoBitmap(40, 30), 90));
  EXPECT_EQ(MarkerSet(jpeg), (std::set<int>{0xD8, 0xE0, 0xDB, 0xC0, 0xC4, 0xDA, 0xD9}));
  const std::vector<Segment> segments = Segments(jpeg);
  ASSERT_EQ(segments[1].marker, 0xE0);
  EXPECT_EQ(segments[1].payload, std::string("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14));
  for (const Segment& s : segments) {
    if (s.marker != 0xC0) continue;
    // 8 bits, 30 x 40, components 1 (2x2, table 0), 2 and 3 (1x1, table 1).
    EXPECT_EQ(s.payload,
              std::string("\x08\x00\x1E\x00\x28\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 15));
  }
}

TEST(EncodeJpeg, ReadsRowsThroughTheirAddresses) {
  Bitmap cropped = PhotoBitmap(60, 40);
  cropped.Crop(7, 5, 33, 21);
  EXPECT_EQ(*EncodeJpeg(cropped, 85), *EncodeJpeg(Bitmap(cropped), 85));
}

TEST(EncodeJpeg, EmptyBitmapIsAnEncoderError) {
  EXPECT_FALSE(EncodeJpeg(Bitmap(), 90));
}

TEST(JpegReader, GivesThePixelsOfDjpegWithFloatDct) {
  struct Row {
    const char* name;
    int width, height;
    TestJpegOptions options;
    int keepPercent;  // of the file's bytes
  } rows[] = {
      {"1x1", 1, 1, {}, 100},
      {"odd size", 17, 9, {}, 100},
      {"wide", 333, 101, {.quality = 80}, 100},
      {"progressive", 333, 101, {.progressive = true}, 100},
      {"exif orientation", 33, 21, {.exif = true}, 100},
      // The decoder fills the rest; progressive ones also need block smoothing.
      {"truncated", 333, 101, {}, 50},
      {"truncated progressive", 333, 101, {.progressive = true}, 40},
  };
  Sandbox sandbox;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string jpeg = MakeJpeg(row.width, row.height, testing::PhotoPixel, row.options);
    jpeg.resize(jpeg.size() * row.keepPercent / 100);
    sandbox.Write("in.jpg", jpeg);
    // djpeg exits with 2 after warnings (premature end of data).
    const int status = RunTool("djpeg -dct float -outfile " + Quoted(sandbox.Path("ref.ppm")) +
                               " " + Quoted(sandbox.Path("in.jpg")));
    ASSERT_EQ(status, row.keepPercent == 100 ? 0 : 2);
    Bitmap bitmap;
    const DecodeResult result = LoadPhotoFile(sandbox.Path("in.jpg"), bitmap);
    ASSERT_EQ(result.status, DecodeStatus::Decoded) << result.reason;
    EXPECT_EQ(Difference(bitmap, ParsePnm(sandbox.Read("ref.ppm"))), "");
    // What djpeg warns about is counted, and only that.
    EXPECT_EQ(result.warnings > 0, row.keepPercent != 100);
    EXPECT_EQ(result.warning.empty(), result.warnings == 0);
  }
}

TEST(JpegReader, QuantizesGrayscaleToEvenlySpacedLevelsLikeDjpegOnePass) {
  std::set<int> levels;  // the 236 grays of the one-pass quantizer
  for (int j = 0; j < 236; ++j) levels.insert((j * 255 + 117) / 235);
  Sandbox sandbox;
  for (bool progressive : {false, true}) {
    for (auto [width, height] : {std::pair{1, 1}, {17, 9}, {333, 101}}) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) +
                   (progressive ? " progressive" : ""));
      sandbox.Write("in.jpg", MakeJpeg(width, height, GrayRamp,
                                       {.grayscale = true, .progressive = progressive}));
      ASSERT_EQ(RunTool("djpeg -dct float -colors 236 -onepass -dither fs -outfile " +
                        Quoted(sandbox.Path("ref.pgm")) + " " + Quoted(sandbox.Path("in.jpg"))),
                0);
      Bitmap bitmap;
      ASSERT_EQ(LoadPhotoFile(sandbox.Path("in.jpg"), bitmap).status, DecodeStatus::Decoded);
      const Pnm reference = ParsePnm(sandbox.Read("ref.pgm"));
      EXPECT_EQ(reference.channels, 1);
      EXPECT_EQ(Difference(bitmap, reference), "");
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* p = bitmap.Row(y) + 3 * x;
          ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
          ASSERT_TRUE(levels.count(p[0])) << int(p[0]) << " is no quantizer level";
        }
      }
    }
  }
}

// The CMYK values exactly as libjpeg decodes them, for the expected result.
std::vector<std::uint8_t> DecodeCmyk(const std::string& jpeg) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
  jpeg_read_header(&info, TRUE);
  info.dct_method = JDCT_FLOAT;
  info.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&info);
  std::vector<std::uint8_t> cmyk(std::size_t(info.output_width) * info.output_height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = cmyk.data() + std::size_t(info.output_scanline) * info.output_width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return cmyk;
}

TEST(JpegReader, ConvertsCmykWithBlackAsAMultiplier) {
  const int width = 37, height = 23;
  const std::string jpeg = testing::MakeCmykJpeg(width, height, [](int x, int y) {
    return testing::Cmyk{std::uint8_t(x * 7), std::uint8_t(y * 11), std::uint8_t(x * y),
                         std::uint8_t(255 - x * 3)};
  });
  Sandbox sandbox;
  sandbox.Write("cmyk.jpg", jpeg);
  Bitmap bitmap;
  ASSERT_EQ(LoadPhotoFile(sandbox.Path("cmyk.jpg"), bitmap).status, DecodeStatus::Decoded);
  ASSERT_EQ(bitmap.Width(), width);
  ASSERT_EQ(bitmap.Height(), height);
  const std::vector<std::uint8_t> cmyk = DecodeCmyk(jpeg);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* c = &cmyk[(std::size_t(y) * width + x) * 4];
      const std::uint8_t* p = bitmap.Row(y) + 3 * x;
      ASSERT_EQ(p[2], c[0] * c[3] / 255) << x << "," << y;
      ASSERT_EQ(p[1], c[1] * c[3] / 255) << x << "," << y;
      ASSERT_EQ(p[0], c[2] * c[3] / 255) << x << "," << y;
    }
  }
}

TEST(JpegReader, RefusesWhatIsNotAReadablePhotoAndSaysWhy) {
  Sandbox sandbox;
  const std::string photo = MakeJpeg(16, 16, testing::PhotoPixel);
  const std::pair<const char*, std::string> files[] = {
      {"empty", ""},
      {"text", "not a photo\n"},
      {"png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16)},
      {"only SOI", "\xFF\xD8"},
      {"cut inside the header", photo.substr(0, 100)},
  };
  for (const auto& [name, bytes] : files) {
    sandbox.Write(name, bytes);
    Bitmap bitmap(2, 2);
    const DecodeResult result = LoadPhotoFile(sandbox.Path(name), bitmap);
    EXPECT_NE(result.status, DecodeStatus::Decoded) << name;
    EXPECT_NE(result.status, DecodeStatus::Cancelled) << name;
    EXPECT_NE(result.reason, "") << name;
  }
  // Files that cannot be read at all are named by the system's words.
  sandbox.Fill({"folder.jpg/"});
  const std::pair<const char*, int> unreadable[] = {{"missing.jpg", ENOENT},
                                                    {"folder.jpg", EISDIR}};
  for (const auto& [name, error] : unreadable) {
    Bitmap bitmap;
    const DecodeResult result = LoadPhotoFile(sandbox.Path(name), bitmap);
    EXPECT_NE(result.status, DecodeStatus::Decoded) << name;
    EXPECT_EQ(result.reason, std::strerror(error)) << name;
  }
}

// Headers patched to claim sizes the file cannot hold: refused before any
// pixel memory is reserved, so the bitmap keeps its size. A claim the file
// can plausibly hold decodes, the decoder filling the missing data.
TEST(JpegReader, RefusesImplausibleDimensionsBeforeAllocating) {
  struct Row {
    int width, height, result;
  } rows[] = {{60000, 60000, -2}, {65535, 65535, -2}, {0, 16, -2},
              {2000, 2000, -2},   {32, 32, 0},        {16, 16, 0}};
  Sandbox sandbox;
  const std::string photo = MakeJpeg(16, 16, testing::PhotoPixel, {.quality = 75});
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
    sandbox.Write("patched.jpg", WithDimensions(photo, row.width, row.height));
    Bitmap bitmap(3, 2);
    EXPECT_EQ(LoadPhotoFile(sandbox.Path("patched.jpg"), bitmap).Ok(), row.result == 0);
    EXPECT_EQ(bitmap.Width(), row.result == 0 ? row.width : 3);
    EXPECT_EQ(bitmap.Height(), row.result == 0 ? row.height : 2);
  }
}

// A header whose file is long enough for its pixels (padding after the
// image) is still refused above a gigapixel: the system would promise the
// memory and then kill the program while the decoder fills it.
TEST(JpegReader, RefusesMoreThanAGigapixelWhateverTheFileSize) {
  Sandbox sandbox;
  const std::string photo = MakeJpeg(16, 16, testing::PhotoPixel, {.quality = 75});
  const int side = 40000;  // 1.6 gigapixels
  std::string padded = WithDimensions(photo, side, side);
  padded.append(std::size_t{side} * side / 1024, '\0');
  sandbox.Write("huge.jpg", padded);
  Bitmap bitmap(3, 2);
  EXPECT_NE(LoadPhotoFile(sandbox.Path("huge.jpg"), bitmap).status, DecodeStatus::Decoded);
  EXPECT_EQ(bitmap.Width(), 3);
}

TEST(JpegReader, AcceptsFlatPhotosWhateverTheirCompression) {
  const auto flat = [](int, int) { return testing::Rgb{200, 120, 40}; };
  const TestJpegOptions kinds[] = {{.quality = 75},
                                   {.quality = 75, .progressive = true},
                                   {.quality = 75, .grayscale = true},
                                   {.quality = 75, .grayscale = true, .progressive = true}};
  Sandbox sandbox;
  for (const TestJpegOptions& kind : kinds) {
    sandbox.Write("flat.jpg", MakeJpeg(1600, 1200, flat, kind));
    Bitmap bitmap;
    EXPECT_EQ(LoadPhotoFile(sandbox.Path("flat.jpg"), bitmap).status, DecodeStatus::Decoded)
        << kind.grayscale << kind.progressive;
    EXPECT_EQ(bitmap.Width(), 1600);
  }
}

// A grayscale progressive file whose AC coefficients are sent one by one,
// each refined bit by bit: 1 DC scan plus 63 * (1 + refinements) AC scans.
std::string ManyScanJpeg(int refinements) {
  std::vector<testing::JpegScan> script = {{{0}, 0, 0, 0, 0}};
  for (int k = 1; k <= 63; ++k) {
    script.push_back({{0}, k, k, 0, refinements});
    for (int al = refinements; al > 0; --al) script.push_back({{0}, k, k, al, al - 1});
  }
  const auto pixel = [](int x, int y) {
    const auto gray = static_cast<std::uint8_t>(x * 16 + y);
    return testing::Rgb{gray, gray, gray};
  };
  return MakeJpeg(16, 16, pixel, {.quality = 75, .grayscale = true, .scans = script});
}

// Each scan is a pass over the whole picture, so a file of endless tiny scans
// is refused rather than decoded for minutes.
TEST(JpegReader, RefusesProgressiveFilesWithAbsurdlyManyScans) {
  Sandbox sandbox;
  const struct {
    int refinements;  // 64 + 63 * refinements scans
    int result;
  } rows[] = {{5, 0}, {9, -2}};
  for (const auto& row : rows) {
    sandbox.Write("scans.jpg", ManyScanJpeg(row.refinements));
    Bitmap bitmap;
    EXPECT_EQ(LoadPhotoFile(sandbox.Path("scans.jpg"), bitmap).Ok(), row.result == 0)
        << row.refinements;
  }
}

// A file cut short decodes in full size, the missing rows filled in, and
// says so through its warnings.
TEST(JpegReader, CountsTheWarningsOfAFileCutShort) {
  struct Row {
    const char* name;
    TestJpegOptions options;
    int keepPercent;
  } rows[] = {
      {"whole", {}, 100},
      {"whole progressive", {.progressive = true}, 100},
      {"cut", {}, 60},
      {"cut progressive", {.progressive = true}, 40},
  };
  Sandbox sandbox;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string jpeg = MakeJpeg(240, 160, testing::PhotoPixel, row.options);
    jpeg.resize(jpeg.size() * row.keepPercent / 100);
    sandbox.Write("in.jpg", jpeg);
    Bitmap bitmap;
    const DecodeResult result = LoadPhotoFile(sandbox.Path("in.jpg"), bitmap);
    EXPECT_EQ(result.status, DecodeStatus::Decoded) << result.reason;
    EXPECT_NE(result.status, DecodeStatus::Cancelled);
    EXPECT_EQ(result.reason, "");
    EXPECT_EQ(bitmap.Width(), 240);
    EXPECT_EQ(bitmap.Height(), 160);
    if (row.keepPercent == 100) {
      EXPECT_EQ(result.warnings, 0);
      EXPECT_EQ(result.warning, "");
    } else {
      EXPECT_GT(result.warnings, 0);
      EXPECT_NE(result.warning.find("Premature end"), std::string::npos) << result.warning;
    }
  }
}

// The cancel check is asked while rows are decoded; the first true answer
// ends the decode, and no question is asked after it.
TEST(JpegReader, CancelCheckThatAnswersTrueEndsTheDecode) {
  Sandbox sandbox;
  sandbox.Write("tall.jpg", MakeJpeg(64, 800, testing::PhotoPixel));
  sandbox.Write("progressive.jpg", MakeJpeg(64, 800, testing::PhotoPixel, {.progressive = true}));
  struct Row {
    const char* file;
    int trueAtQuestion;  // 0: never
  } rows[] = {{"tall.jpg", 0},       {"tall.jpg", 1},        {"tall.jpg", 3},
              {"tall.jpg", 10},      {"progressive.jpg", 0}, {"progressive.jpg", 1},
              {"progressive.jpg", 5}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.file) + ", true at question " +
                 std::to_string(row.trueAtQuestion));
    int questions = 0;
    const CancelCheck cancel = [&] {
      ++questions;
      return questions == row.trueAtQuestion;
    };
    Bitmap bitmap;
    const DecodeResult result = LoadPhotoFile(sandbox.Path(row.file), bitmap, cancel);
    if (row.trueAtQuestion == 0) {
      EXPECT_EQ(result.status, DecodeStatus::Decoded);
      EXPECT_NE(result.status, DecodeStatus::Cancelled);
      // Asked again and again, not once for the whole photo.
      EXPECT_GT(questions, 10);
    } else {
      EXPECT_NE(result.status, DecodeStatus::Decoded);
      EXPECT_EQ(result.status, DecodeStatus::Cancelled);
      EXPECT_NE(result.reason, "");
      EXPECT_EQ(questions, row.trueAtQuestion);
    }
  }
}

// The admission is asked for all that the decode holds: the whole of a
// bitmap larger than the photo, and for a file of several scans libjpeg's
// buffer of 64 two-byte coefficients per block (here 4:2:0, 8 x 6 luma
// blocks and twice 4 x 3). Memory that cannot be had there is out of
// memory, not a photo that cannot be read.
TEST(DecodeToBitmap, AdmissionIsAskedForAllTheDecodeHolds) {
  Sandbox sandbox;
  sandbox.Write("progressive.jpg", MakeJpeg(64, 48, testing::PhotoPixel, {.progressive = true}));
  const auto decode = [&](Bitmap& bitmap, const DecodeAdmission& admit) {
    const OpenedPhoto opened = OpenPhotoFile(sandbox.Path("progressive.jpg"));
    return DecodeToBitmap(*opened.reader, bitmap, std::nullopt, {}, admit);
  };
  Bitmap bitmap(400, 300);
  std::uint64_t asked = 0;
  EXPECT_TRUE(decode(bitmap, [&](auto bytes) { return asked = bytes, true; }).Ok());
  EXPECT_EQ(asked, static_cast<std::uint64_t>(RowBytes(400)) * 300 + (8 * 6 + 2 * 4 * 3) * 64 * 2);
  EXPECT_EQ(decode(bitmap, [](auto) -> bool { throw std::bad_alloc(); }).status,
            DecodeStatus::OutOfMemory);
}

TEST(LoadPhotoFile, DecodesIntoTheBitmapWhateverItHeldBefore) {
  Sandbox sandbox;
  sandbox.Write("big.jpg", MakeJpeg(300, 200, testing::PhotoPixel));
  sandbox.Write("small.jpg", MakeJpeg(40, 10, testing::PhotoPixel, {.grayscale = true}));
  Bitmap bitmap(10, 10);
  for (auto [name, width, height] : {std::tuple{"big.jpg", 300, 200}, {"small.jpg", 40, 10}}) {
    const DecodeResult result = LoadPhotoFile(sandbox.Path(name), bitmap);
    ASSERT_EQ(result.status, DecodeStatus::Decoded) << name;
    EXPECT_EQ(result.warnings, 0) << name;
    EXPECT_EQ(bitmap.Width(), width);
    EXPECT_EQ(bitmap.Height(), height);
  }
}

TEST(LoadPhotoFile, FailureLeavesAtLeastAOnePixelBitmap) {
  Sandbox sandbox;
  sandbox.Write("bad.jpg", "not a photo");
  sandbox.Write("good.jpg", MakeJpeg(64, 48, testing::PhotoPixel));
  const CancelCheck cancel = [] { return true; };
  struct Row {
    const char* name;
    bool cancel;
  } rows[] = {{"bad.jpg", false}, {"missing.jpg", false}, {"good.jpg", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Bitmap bitmap(300, 200);
    const DecodeResult result =
        LoadPhotoFile(sandbox.Path(row.name), bitmap, row.cancel ? cancel : CancelCheck());
    EXPECT_NE(result.status, DecodeStatus::Decoded);
    EXPECT_EQ(result.status == DecodeStatus::Cancelled, row.cancel);
    EXPECT_GE(bitmap.Width(), 1);
    EXPECT_GE(bitmap.Height(), 1);
  }
}

// Whatever came in (progressive, grayscale, Exif), a baseline 3-component
// JFIF file with no other marker goes out.
TEST(LoadPhotoFile, SavedPhotoIsAlwaysPlainBaseline) {
  const TestJpegOptions inputs[] = {
      {.progressive = true}, {.grayscale = true}, {.exif = true}, {.cmyk = true}};
  for (const TestJpegOptions& input : inputs) {
    Sandbox sandbox;
    sandbox.Write("in.jpg", MakeJpeg(50, 30, testing::PhotoPixel, input));
    Bitmap bitmap;
    ASSERT_EQ(LoadPhotoFile(sandbox.Path("in.jpg"), bitmap).status, DecodeStatus::Decoded);
    const std::string out = Bytes(*EncodeJpeg(bitmap, 90));
    sandbox.Write("out.jpg", out);
    EXPECT_EQ(MarkerSet(out), (std::set<int>{0xD8, 0xE0, 0xDB, 0xC0, 0xC4, 0xDA, 0xD9}));
    for (const Segment& s : Segments(out)) {
      if (s.marker == 0xC0) {
        EXPECT_EQ(s.payload[5], 3) << "components";
      }
    }
    Bitmap decoded;
    ASSERT_EQ(LoadPhotoFile(sandbox.Path("out.jpg"), decoded).status, DecodeStatus::Decoded);
    EXPECT_EQ(decoded.Width(), 50);
    EXPECT_EQ(decoded.Height(), 30);
  }
}

}  // namespace
}  // namespace quorvale
