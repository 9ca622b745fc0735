#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "codec/Exif.h"
#include "codec/JpegFile.h"
#include "codec/JpegMetadata.h"
#include "codec/PhotoReader.h"
#include "support/ExifBlock.h"
#include "support/Exiftool.h"
#include "support/PhotoBitmap.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

using testing::ExiftoolValues;
using testing::RunExiftool;
using testing::Sandbox;
using Bytes = std::vector<std::uint8_t>;
using namespace testing::exif_tag;

Bitmap Picture(int width, int height) {
  return testing::PhotoBitmap(width, height, 9, 7);
}

Bytes CameraExif() {
  testing::ExifBlock b(true);
  b.ifd0 = {b.Ascii(Make, "Quorvale Test Camera"), b.Short(Orientation, 1)};
  b.exif = {b.Ascii(DateTimeOriginal, "2024:05:01 10:20:30"), b.Short(PixelX, 48),
            b.Short(PixelY, 32)};
  return b.Build();
}

// An ICC profile of `size` bytes: a display-class RGB header and one tag,
// its copyright text, then filler that says where it lies, so a chunk out of
// place shows.
constexpr char Copyright[] = "Quorvale test profile";

Bytes Profile(std::size_t size) {
  Bytes profile(size);
  for (std::size_t i = 200; i < size; ++i) profile[i] = static_cast<std::uint8_t>(i * 31 + 7);
  const auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) profile[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  };
  const auto put = [&](std::size_t at, const char* text) { std::memcpy(&profile[at], text, 4); };
  put32(0, static_cast<std::uint32_t>(size));
  put32(8, 0x02100000);  // version 2.1
  put(12, "mntr");
  put(16, "RGB ");
  put(20, "XYZ ");
  put(36, "acsp");
  put32(128, 1);  // one tag: 'cprt' at 144
  put(132, "cprt");
  put32(136, 144);
  put32(140, 8 + sizeof Copyright);
  put(144, "text");
  put32(148, 0);
  std::memcpy(&profile[152], Copyright, sizeof Copyright);
  return profile;
}

// What libjpeg itself reads from a file: the JFIF density and the saved
// APP1 and APP2 segments in file order.
struct LibjpegView {
  int densityUnit = -1;
  int xDensity = -1;
  int yDensity = -1;
  std::vector<int> markers;
  Bytes exif;
  Bytes icc;
  int width = 0;
  int height = 0;
};

LibjpegView ReadWithLibjpeg(const Bytes& file) {
  LibjpegView view;
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_save_markers(&info, JPEG_APP0, 0xFFFF);
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
  if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
    view.densityUnit = info.density_unit;
    view.xDensity = info.X_density;
    view.yDensity = info.Y_density;
    view.width = static_cast<int>(info.image_width);
    view.height = static_cast<int>(info.image_height);
    for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next) {
      view.markers.push_back(m->marker);
      if (m->marker == JPEG_APP0 + 1) view.exif.assign(m->data, m->data + m->data_length);
    }
    JOCTET* icc = nullptr;
    unsigned iccLength = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccLength)) {
      view.icc.assign(icc, icc + iccLength);
      std::free(icc);
    }
  }
  jpeg_destroy_decompress(&info);
  return view;
}

TEST(EncodeJpegExtras, WithoutExtrasTheBytesAreThoseOfThePlainEncode) {
  const Bitmap picture = Picture(37, 23);
  for (const int quality : {1, 50, 90, 100}) {
    EXPECT_EQ(EncodeJpeg(picture, quality, JpegExtras{}), EncodeJpeg(picture, quality));
    EXPECT_EQ(EncodeJpeg(picture, quality, JpegExtras{.dpi = 0}), EncodeJpeg(picture, quality));
  }
}

TEST(EncodeJpegExtras, WritesTheResolutionInDotsPerInch) {
  const Bitmap picture = Picture(20, 10);
  Sandbox sandbox;
  for (const int dpi : {150, 300, 400}) {
    SCOPED_TRACE(dpi);
    const std::optional<Bytes> file = EncodeJpeg(picture, 90, {.dpi = dpi});
    ASSERT_TRUE(file);
    const LibjpegView view = ReadWithLibjpeg(*file);
    EXPECT_EQ(view.densityUnit, 1);
    EXPECT_EQ(view.xDensity, dpi);
    EXPECT_EQ(view.yDensity, dpi);
    sandbox.Write("dpi.jpg", std::string(file->begin(), file->end()));
    EXPECT_EQ(ExiftoolValues(sandbox.Path("dpi.jpg"),
                             {"JFIF:ResolutionUnit", "JFIF:XResolution", "JFIF:YResolution"}),
              (std::vector<std::string>{"1", std::to_string(dpi), std::to_string(dpi)}));
  }
  const LibjpegView plain = ReadWithLibjpeg(*EncodeJpeg(picture, 90));
  EXPECT_EQ(plain.densityUnit, 0);
  EXPECT_EQ(plain.xDensity, 1);
  EXPECT_EQ(plain.yDensity, 1);
}

TEST(EncodeJpegExtras, WritesExifAfterJfifAndTheProfileAfterIt) {
  const Bitmap picture = Picture(48, 32);
  const Bytes exif = CameraExif();
  const Bytes profile = Profile(150000);  // three APP2 chunks
  const std::optional<Bytes> file =
      EncodeJpeg(picture, 90, {.dpi = 300, .exif = exif, .icc = profile});
  ASSERT_TRUE(file);

  const LibjpegView view = ReadWithLibjpeg(*file);
  EXPECT_EQ(view.markers, (std::vector<int>{JPEG_APP0, JPEG_APP0 + 1, JPEG_APP0 + 2, JPEG_APP0 + 2,
                                            JPEG_APP0 + 2}));
  EXPECT_EQ(view.exif, exif);
  EXPECT_EQ(view.icc, profile);
  EXPECT_EQ(view.xDensity, 300);

  Sandbox sandbox;
  sandbox.Write("extras.jpg", std::string(file->begin(), file->end()));
  EXPECT_EQ(ExiftoolValues(sandbox.Path("extras.jpg"),
                           {"IFD0:Make", "ExifIFD:DateTimeOriginal", "ExifIFD:ExifImageWidth",
                            "JFIF:XResolution", "ICC_Profile:ProfileCopyright",
                            "ICC_Profile:ProfileClass", "ExifTool:Warning"}),
            (std::vector<std::string>{"Quorvale Test Camera", "2024:05:01 10:20:30", "48", "300",
                                      Copyright, "mntr", "-"}));
  const std::string icc = RunExiftool("-b -ICC_Profile", sandbox.Path("extras.jpg"));
  EXPECT_EQ(Bytes(icc.begin(), icc.end()), profile) << "exiftool puts the chunks together too";

  const JpegMetadata ours = ReadJpegMetadata(*file);
  EXPECT_EQ(ours.exif, exif);
  EXPECT_EQ(ours.icc, profile);
}

TEST(EncodeJpegExtras, ThePixelsAreThoseOfThePlainEncode) {
  const Bitmap picture = Picture(40, 24);
  const Bytes exif = CameraExif();
  const Bytes profile = Profile(600);
  const std::optional<Bytes> plain = EncodeJpeg(picture, 85);
  const std::optional<Bytes> extras =
      EncodeJpeg(picture, 85, {.dpi = 200, .exif = exif, .icc = profile});
  ASSERT_TRUE(plain && extras);
  Sandbox sandbox;
  sandbox.Write("plain.jpg", std::string(plain->begin(), plain->end()));
  sandbox.Write("extras.jpg", std::string(extras->begin(), extras->end()));
  Bitmap a, b;
  ASSERT_EQ(LoadPhotoFile(sandbox.Path("plain.jpg"), a).status, DecodeStatus::Decoded);
  ASSERT_EQ(LoadPhotoFile(sandbox.Path("extras.jpg"), b).status, DecodeStatus::Decoded);
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y) {
    EXPECT_EQ(std::memcmp(a.Row(y), b.Row(y), 3 * a.Width()), 0) << "row " << y;
  }
  // The scan itself is byte for byte the same: the files differ only in
  // the segments before it.
  const std::size_t plainTail = plain->size() - 2 - 18;
  EXPECT_TRUE(std::equal(plain->end() - static_cast<std::ptrdiff_t>(plainTail), plain->end(),
                         extras->end() - static_cast<std::ptrdiff_t>(plainTail)));
}

TEST(EncodeJpegExtras, LeavesOutAnExifBlockTooLongForOneSegment) {
  const Bitmap picture = Picture(8, 8);
  Bytes huge = CameraExif();
  huge.resize(MaxExifBlockBytes + 1, 0);
  const std::optional<Bytes> file = EncodeJpeg(picture, 90, {.exif = huge});
  ASSERT_TRUE(file);
  EXPECT_EQ(*file, *EncodeJpeg(picture, 90));
  Bytes longest = CameraExif();
  longest.resize(MaxExifBlockBytes, 0);
  const LibjpegView view = ReadWithLibjpeg(*EncodeJpeg(picture, 90, {.exif = longest}));
  EXPECT_EQ(view.exif, longest);
}

}  // namespace
}  // namespace quorvale
