#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestJpeg.h"

namespace quorvale::testing {

// The tags the tests write, by their Exif names.
namespace exif_tag {
inline constexpr std::uint16_t GpsLatitudeRef = 0x0001;
inline constexpr std::uint16_t Compression = 0x0103;
inline constexpr std::uint16_t Make = 0x010F;
inline constexpr std::uint16_t Orientation = 0x0112;
inline constexpr std::uint16_t XResolution = 0x011A;
inline constexpr std::uint16_t YResolution = 0x011B;
inline constexpr std::uint16_t ResolutionUnit = 0x0128;
inline constexpr std::uint16_t ExposureTime = 0x829A;
inline constexpr std::uint16_t DateTimeOriginal = 0x9003;
inline constexpr std::uint16_t MakerNote = 0x927C;
inline constexpr std::uint16_t PixelX = 0xA002;
inline constexpr std::uint16_t PixelY = 0xA003;
}  // namespace exif_tag

// Builds Exif blocks ("Exif\0\0" and a TIFF structure) field by field, in
// either byte order, the way cameras lay them out: header, IFD0 and its
// values, the Exif sub-IFD and its values, the GPS IFD and its values, IFD1
// and its values, then the thumbnail. The pointer entries (0x8769, 0x8825,
// 0x0201/0x0202) and IFD0's link to IFD1 are added by Build().
class ExifBlock {
 public:
  struct Field {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::vector<std::uint8_t> data;  // in the block's byte order
  };

  explicit ExifBlock(bool littleEndian) : little_(littleEndian) {}

  Field Short(std::uint16_t tag, std::uint16_t value) const { return {tag, 3, 1, Bytes(value, 2)}; }
  Field Long(std::uint16_t tag, std::uint32_t value) const { return {tag, 4, 1, Bytes(value, 4)}; }
  Field Ascii(std::uint16_t tag, const std::string& text) const {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return {tag, 2, static_cast<std::uint32_t>(data.size()), data};
  }
  Field Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) const {
    std::vector<std::uint8_t> data = Bytes(numerator, 4);
    const std::vector<std::uint8_t> low = Bytes(denominator, 4);
    data.insert(data.end(), low.begin(), low.end());
    return {tag, 5, 1, data};
  }
  Field Undefined(std::uint16_t tag, const std::vector<std::uint8_t>& data) const {
    return {tag, 7, static_cast<std::uint32_t>(data.size()), data};
  }

  // IFD1 as cameras fill it: a 16 x 12 JPEG thumbnail.
  void AddJpegThumbnail() {
    ifd1 = {Short(exif_tag::Compression, 6)};
    const std::string jpeg = MakeJpeg(16, 12, PhotoPixel);
    thumbnail.assign(jpeg.begin(), jpeg.end());
  }

  std::vector<Field> ifd0;
  std::vector<Field> exif;
  std::vector<Field> gps;
  std::vector<Field> ifd1;
  std::vector<std::uint8_t> thumbnail;
  // Puts IFD1 and the thumbnail before the Exif sub-IFD instead of last.
  bool thumbnailFirst = false;

  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> tiff = {little_ ? std::uint8_t{'I'} : std::uint8_t{'M'},
                                      little_ ? std::uint8_t{'I'} : std::uint8_t{'M'}};
    Append(tiff, Bytes(42, 2));
    Append(tiff, Bytes(8, 4));
    // Pointer values are patched once the places are known.
    std::vector<Field> fields0 = ifd0;
    if (!exif.empty()) fields0.push_back(Long(0x8769, 0));
    if (!gps.empty()) fields0.push_back(Long(0x8825, 0));
    std::vector<Field> fields1 = ifd1;
    if (!thumbnail.empty()) {
      fields1.push_back(Long(0x0201, 0));
      fields1.push_back(Long(0x0202, static_cast<std::uint32_t>(thumbnail.size())));
    }
    const bool hasIfd1 = !fields1.empty();
    const std::size_t link0 = WriteIfd(tiff, fields0);
    const auto ifd1Part = [&] {
      const std::size_t at = Even(tiff);
      Put(tiff, link0, static_cast<std::uint32_t>(at), 4);
      const std::size_t link1 = WriteIfd(tiff, fields1);
      (void)link1;
      if (!thumbnail.empty()) {
        Put(tiff, EntryOf(tiff, at, 0x0201) + 8, static_cast<std::uint32_t>(tiff.size()), 4);
        Append(tiff, thumbnail);
      }
    };
    if (hasIfd1 && thumbnailFirst) ifd1Part();
    if (!exif.empty()) {
      Put(tiff, EntryOf(tiff, 8, 0x8769) + 8, static_cast<std::uint32_t>(Even(tiff)), 4);
      WriteIfd(tiff, exif);
    }
    if (!gps.empty()) {
      Put(tiff, EntryOf(tiff, 8, 0x8825) + 8, static_cast<std::uint32_t>(Even(tiff)), 4);
      WriteIfd(tiff, gps);
    }
    if (hasIfd1 && !thumbnailFirst) {
      Even(tiff);
      ifd1Part();
    }
    std::vector<std::uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
    Append(block, tiff);
    return block;
  }

  std::vector<std::uint8_t> Bytes(std::uint32_t value, int size) const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
      bytes[little_ ? i : size - 1 - i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return bytes;
  }

 private:
  static void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
  }
  static std::size_t Even(std::vector<std::uint8_t>& tiff) {
    if (tiff.size() % 2 != 0) tiff.push_back(0);
    return tiff.size();
  }
  void Put(std::vector<std::uint8_t>& tiff, std::size_t at, std::uint32_t value, int size) const {
    const std::vector<std::uint8_t> bytes = Bytes(value, size);
    std::copy(bytes.begin(), bytes.end(), tiff.begin() + static_cast<std::ptrdiff_t>(at));
  }
  std::uint32_t Get16(const std::vector<std::uint8_t>& tiff, std::size_t at) const {
    return little_ ? (tiff[at] | tiff[at + 1] << 8) : (tiff[at] << 8 | tiff[at + 1]);
  }
  // The offset of the entry for `tag` in the IFD at `ifd`.
  std::size_t EntryOf(const std::vector<std::uint8_t>& tiff, std::size_t ifd,
                      std::uint16_t tag) const {
    const std::uint32_t count = Get16(tiff, ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t at = ifd + 2 + 12 * i;
      if (Get16(tiff, at) == tag) return at;
    }
    return 0;
  }
  // Writes the IFD (entries sorted by tag, link 0) at an even offset, then
  // its long values; returns the offset of its link.
  std::size_t WriteIfd(std::vector<std::uint8_t>& tiff, std::vector<Field> fields) const {
    std::stable_sort(fields.begin(), fields.end(),
                     [](const Field& a, const Field& b) { return a.tag < b.tag; });
    const std::size_t at = Even(tiff);
    Append(tiff, Bytes(static_cast<std::uint32_t>(fields.size()), 2));
    std::size_t valueAt = at + 2 + 12 * fields.size() + 4;
    std::vector<std::uint8_t> values;
    for (const Field& field : fields) {
      Append(tiff, Bytes(field.tag, 2));
      Append(tiff, Bytes(field.type, 2));
      Append(tiff, Bytes(field.count, 4));
      if (field.data.size() <= 4) {
        std::vector<std::uint8_t> inline_ = field.data;
        inline_.resize(4, 0);
        Append(tiff, inline_);
      } else {
        Append(tiff, Bytes(static_cast<std::uint32_t>(valueAt + values.size()), 4));
        Append(values, field.data);
        if (values.size() % 2 != 0) values.push_back(0);
      }
    }
    const std::size_t link = tiff.size();
    Append(tiff, Bytes(0, 4));
    Append(tiff, values);
    return link;
  }

  bool little_;
};

// A block that holds nothing but IFD0's Orientation.
inline std::vector<std::uint8_t> ExifWithOrientation(int orientation, bool littleEndian = false) {
  ExifBlock b(littleEndian);
  b.ifd0 = {b.Short(exif_tag::Orientation, static_cast<std::uint16_t>(orientation))};
  return b.Build();
}

// A block as a camera writes it, with a thumbnail in IFD1.
inline std::vector<std::uint8_t> CameraExif(int orientation, int width, int height) {
  ExifBlock b(true);
  b.ifd0 = {b.Ascii(exif_tag::Make, "Quorvale Test Camera"),
            b.Short(exif_tag::Orientation, static_cast<std::uint16_t>(orientation))};
  b.exif = {b.Ascii(exif_tag::DateTimeOriginal, "2024:05:01 10:20:30"),
            b.Long(exif_tag::PixelX, static_cast<std::uint32_t>(width)),
            b.Long(exif_tag::PixelY, static_cast<std::uint32_t>(height))};
  b.AddJpegThumbnail();
  return b.Build();
}

// Crafted blocks: a camera's IFD0 (make, orientation 6, X and Y resolution
// 72/1, unit inches) whose resolution values are pointed at bytes of the
// structure itself, so that writing one value in place changes where the
// other is found, or reads the TIFF header as a value.
enum class Overlap {
  XIntoYEntry,     // XResolution's value over YResolution's count and value offset
  YIntoXEntry,     // YResolution's value over XResolution's count and value offset
  XIntoOwnEntry,   // XResolution's value over its own count and value offset
  XAtZero,         // XResolution's value at offset 0, over the TIFF header
  XIntoExifEntry,  // XResolution's value over PixelXDimension's entry
};
inline constexpr Overlap Overlaps[] = {Overlap::XIntoYEntry, Overlap::YIntoXEntry,
                                       Overlap::XIntoOwnEntry, Overlap::XAtZero,
                                       Overlap::XIntoExifEntry};

inline std::vector<std::uint8_t> OverlappingExif(Overlap overlap, bool littleEndian) {
  using namespace exif_tag;
  ExifBlock b(littleEndian);
  b.ifd0 = {b.Ascii(Make, "Quorvale Test Camera"), b.Short(Orientation, 6),
            b.Rational(XResolution, 72, 1), b.Rational(YResolution, 72, 1),
            b.Short(ResolutionUnit, 2)};
  b.exif = {b.Ascii(DateTimeOriginal, "2024:05:01 10:20:30"), b.Short(PixelX, 4032),
            b.Short(PixelY, 3024)};
  b.gps = {b.Ascii(GpsLatitudeRef, "N")};
  b.AddJpegThumbnail();
  std::vector<std::uint8_t> block = b.Build();
  // IFD0 is at TIFF offset 8, its entries in tag order: make, orientation,
  // X and Y resolution, unit, the Exif pointer; the Exif sub-IFD holds the
  // date, then PixelXDimension.
  const auto put32 = [&](std::size_t at, std::uint32_t value) {
    const std::vector<std::uint8_t> bytes = b.Bytes(value, 4);
    std::copy(bytes.begin(), bytes.end(), block.begin() + 6 + static_cast<std::ptrdiff_t>(at));
  };
  const auto entry0 = [](std::size_t index) { return 8 + 2 + 12 * index; };
  std::uint32_t exifAt = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t at = 6 + entry0(5) + 8 + static_cast<std::size_t>(littleEndian ? i : 3 - i);
    exifAt |= static_cast<std::uint32_t>(block[at]) << (8 * i);
  }
  switch (overlap) {
    case Overlap::XIntoYEntry:
      put32(entry0(2) + 8, static_cast<std::uint32_t>(entry0(3) + 4));
      break;
    case Overlap::YIntoXEntry:
      put32(entry0(3) + 8, static_cast<std::uint32_t>(entry0(2) + 4));
      break;
    case Overlap::XIntoOwnEntry:
      put32(entry0(2) + 8, static_cast<std::uint32_t>(entry0(2) + 4));
      break;
    case Overlap::XAtZero:
      put32(entry0(2) + 8, 0);
      break;
    case Overlap::XIntoExifEntry:
      put32(entry0(2) + 8, exifAt + 2 + 12);
      break;
  }
  return block;
}

// An ICC profile exiftool reads: a display header for `space` and a
// copyright.
inline std::vector<std::uint8_t> IccProfile(const std::string& space = "RGB ") {
  const std::string copyright = "Quorvale wide gamut";
  std::vector<std::uint8_t> profile(200, 0);
  const auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) profile[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  };
  const auto put = [&](std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), profile.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put32(0, 200);
  put32(8, 0x02100000);
  put(12, "mntr");
  put(16, space);
  put(20, "XYZ ");
  put(36, "acsp");
  put32(128, 1);
  put(132, "cprt");
  put32(136, 144);
  put32(140, static_cast<std::uint32_t>(8 + copyright.size() + 1));
  put(144, "text");
  put(152, copyright);
  return profile;
}

}  // namespace quorvale::testing
