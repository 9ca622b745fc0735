#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pixels/DateStamp.h"

namespace quorvale {

// An Exif block is the payload of a JPEG APP1 segment: the six bytes
// "Exif\0\0", then a TIFF structure in either byte order ("II" or "MM")
// whose offsets count from the TIFF header. IFD0 describes the main picture
// and points to the Exif sub-IFD (tag 0x8769) and the GPS IFD (0x8825); the
// Exif sub-IFD may point to the interoperability IFD (0xA005); IFD0's link
// to a next IFD leads to IFD1, the embedded thumbnail.

// The largest block one APP1 segment can carry.
inline constexpr std::size_t MaxExifBlockBytes = 65533;

// True when `block` opens with "Exif\0\0".
bool IsExifBlock(std::span<const std::uint8_t> block);

// The Orientation (tag 0x0112) of IFD0: 1..8, as Exif numbers them (1 upright,
// 6 shown after turning 90 degrees clockwise, ...). 1 when the block is not
// Exif, is malformed, has no such tag or holds a value outside 1..8.
int ExifOrientation(std::span<const std::uint8_t> block);

// The day of DateTimeOriginal (tag 0x9003 of the Exif sub-IFD, ASCII
// "YYYY:MM:DD HH:MM:SS"): none when the block or IFD0 and the sub-IFD are
// malformed, the tag is absent, or its day is not one of the calendar
// ("0000:00:00", which cameras write for an unset clock, included).
std::optional<CalendarDate> ExifDateTaken(std::span<const std::uint8_t> block);

struct ExifRewrite {
  bool resetOrientation = false;  // set Orientation to 1 (the pixels were turned upright)
  std::uint32_t width = 0;        // PixelXDimension (0xA002) of the output
  std::uint32_t height = 0;       // PixelYDimension (0xA003) of the output
  // Above 0: IFD0's XResolution and YResolution set to dpi/1 and its
  // ResolutionUnit to inches, as the output's JFIF header says.
  std::uint32_t dpi = 0;
};

// The block for an output photo made from the one that carried `block`.
// The block is read into a model first (IFD0, the Exif sub-IFD, the GPS and
// interoperability IFDs; each entry's type, count and value bytes copied
// out), changed there, and written afresh in the block's byte order: IFD0 at
// offset 8 and the sub-IFDs after it, entries ordered by tag, values at even
// offsets, nothing shared or overlapping. The changes: Orientation set to 1
// when asked (an absent tag already means 1), the pixel dimensions in the
// Exif sub-IFD set to the output's (SHORT when they were SHORT or absent and
// fit, else LONG; a sub-IFD added when there is none), the resolution set
// when asked. IFD1 and its thumbnail are left out, and so are the entries
// that locate other parts of the old layout (strips, tiles, the thumbnail)
// and entries of types TIFF does not know. A maker note is copied as opaque
// bytes; offsets inside it that count from the TIFF header may no longer hold.
// Rewriting a rewritten block with the same changes gives it back unchanged.
// nullopt, so that no Exif is copied, when the block is not Exif; its TIFF
// header or one of the four IFDs is malformed, runs past the block, overlaps
// another (a cycle is such an overlap) or has a pointer that is not one
// LONG; a value runs past the block; or the result would not fit one APP1
// segment.
std::optional<std::vector<std::uint8_t>> RewriteExif(std::span<const std::uint8_t> block,
                                                     const ExifRewrite& rewrite);

}  // namespace quorvale
