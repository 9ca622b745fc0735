#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "codec/PhotoBytes.h"
#include "codec/PhotoReader.h"

namespace quorvale {

// True when `bytes`, the first bytes of a file, open with PNG's signature.
bool IsPngSignature(std::span<const std::uint8_t> bytes);

// Reads the header of the PNG file whose bytes are `bytes` (every chunk before the
// picture data): the size, an eXIf chunk as the header's Exif block (made
// "Exif\0\0" and its TIFF structure, as a JPEG carries it) and its
// orientation, an iCCP chunk as its ICC profile. The header is refused
// (Failed, nothing allocated for pixels) when the file is no PNG, a side
// exceeds MaxJpegSide, the picture exceeds a gigapixel or half the physical memory,
// or its rows, inflated, would be more than deflate's best ratio (1032:1)
// can make of the whole file: a tiny file that declares a huge picture.
//
// The reader's decode gives the stored values as they are (no gamma is
// applied): palette and grey pictures expanded to blue, green, red, 16-bit
// values scaled to 8 bits rounding to the nearest, and an alpha channel (or
// a tRNS chunk) laid on white. PNG cannot skip: a region is decoded by
// reading the rows from the top and keeping its columns, and nothing below
// its last row is read (an interlaced picture is read whole, holding the
// region's rows in full width). Damaged or truncated data fails the decode
// with libpng's words; cancel is asked every 16 rows.
OpenedPhoto OpenPngBytes(PhotoBytes bytes);

// OpenPngBytes for a file's bytes held in memory, which must outlive the reader.
OpenedPhoto OpenPngMemory(std::span<const std::uint8_t> bytes);

}  // namespace quorvale
