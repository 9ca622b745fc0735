#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

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

struct ExifRewrite {
  bool resetOrientation = false;  // set Orientation to 1 (the pixels were turned upright)
  std::uint32_t width = 0;        // PixelXDimension (0xA002) of the output
  std::uint32_t height = 0;       // PixelYDimension (0xA003) of the output
  // Above 0: IFD0's XResolution and YResolution set to dpi/1 and its
  // ResolutionUnit to inches, as the output's JFIF header says.
  std::uint32_t dpi = 0;
};

// The block for an output photo made from the one that carried `block`:
// Orientation set to 1 when asked (an absent tag already means 1), the pixel
// dimensions in the Exif sub-IFD set to the output's (written as SHORT when
// they were SHORT and fit, else LONG; added, with a sub-IFD when there is
// none, when missing), the resolution set when asked (added when missing),
// and IFD1 unlinked. IFD1 and its thumbnail are cut
// off when nothing that is kept lies behind their start; otherwise they stay
// as unreferenced bytes. Every other byte keeps its place, so offsets inside
// maker notes stay valid; entries that must grow go into a copy of their IFD
// appended at the end.
// nullopt, so that no Exif is copied, when the block is not Exif, its TIFF
// header, IFD0 or Exif sub-IFD is malformed or runs past the block, or the
// result would not fit one APP1 segment.
std::optional<std::vector<std::uint8_t>> RewriteExif(std::span<const std::uint8_t> block,
                                                     const ExifRewrite& rewrite);

}  // namespace quorvale
