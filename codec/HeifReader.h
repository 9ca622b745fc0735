#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "codec/PhotoBytes.h"
#include "codec/PhotoReader.h"

namespace quorvale {

// True when `bytes`, the first bytes of a file, open with a file-type box
// of an image in the HEIF family (HEIC, HEIF, AVIF).
bool IsHeifSignature(std::span<const std::uint8_t> bytes);

// Reads, from the HEIF file whose bytes are `bytes`, what describes its primary
// image, with libheif. Before libheif parses anything, the file's boxes are
// walked and the file refused (Failed) when its metadata box exceeds 32 MiB,
// it declares more than 4096 items, or its item references are more than a
// photo needs: more than two per item (plus 64), one naming an item that is
// not declared, itself or the same item twice, or derived pictures (grids,
// overlays, transformed copies) built on one another more than three deep or
// in a circle; and when a grid's or overlay's canvas, or the picture an
// HEVC parameter set declares, has a side above MaxJpegSide or more than a
// gigapixel. libheif then refuses sides above MaxJpegSide; a primary image above
// a gigapixel, or whose decode would hold more than half the physical
// memory, is refused before anything is decoded.
//
// libheif applies the transforms the file declares (clean aperture,
// rotation, mirror), so the header's size is the picture as shown and its
// orientation 1: the Exif Orientation of such a file repeats what the
// transforms did and is never applied again. The header's Exif block is the
// primary image's Exif made "Exif\0\0" and its TIFF structure, as a JPEG
// carries it, with its Orientation set to 1 (and the pixel dimensions to
// the picture's) where it said otherwise. Its ICC profile is the file's
// own, or one built for its nclx colour description (ProfileFor), empty
// when that describes sRGB or the file has none.
//
// The reader's decode is libheif's whole decode (HEIF cannot skip; a region
// is cut from it), converted to 8-bit blue, green, red, an alpha channel
// laid on white. Admission counts libheif's own buffers beside the sink's:
// the decoded planes at up to 16 bits and 4:4:4, and two interleaved copies
// of the picture. Cancel is asked before and after libheif's decode, which
// cannot be interrupted, and as the rows are handed over. At most
// `tileThreads` threads of libheif decode the tiles of a tiled picture
// (0: the calling thread alone).
OpenedPhoto OpenHeifBytes(PhotoBytes bytes, int tileThreads = 0);

// OpenHeifBytes for a file's bytes held in memory, which must outlive the reader.
OpenedPhoto OpenHeifMemory(std::span<const std::uint8_t> bytes, int tileThreads = 0);

}  // namespace quorvale
