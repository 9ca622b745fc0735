#pragma once

#include <cstdint>
#include <span>

#include "codec/PhotoReader.h"
#include "platform/FileDescriptor.h"

namespace quorvale {

// The JPEG reader, over libjpeg-turbo.
//
// Opening reads the file in pieces up to its first scan and no further: the
// frame, the tables, and the marker segments before them, whose Exif and
// ICC give the header's orientation and metadata (codec/JpegMetadata.h).
// It fails (Failed), before any pixel memory is reserved, when no header
// starts within the file's first megabyte (marker segments, such as an ICC
// profile, have a budget of their own), when the header claims more pixels
// than the file could hold (1024 per byte after the header; arithmetic-coded
// files, which code flat pictures in a few bytes, up to 64 megapixels
// whatever their size), more than a gigapixel, or more memory (bitmap and,
// for a file of several scans, libjpeg's coefficient buffer) than half the
// physical memory, or a colour space other than grey, YCbCr, RGB, CMYK or
// YCCK.
//
// Decode gives the picture at full size, 24 bits: float inverse DCT, fancy
// upsampling, block smoothing, one pass. Grayscale files go through the
// one-pass 236-level Floyd-Steinberg quantizer and are expanded to equal R,
// G, B; 4-component files are converted as R = C * K / 255 (likewise G from
// M, B from Y). Warnings about the picture's data (it ended early, or was
// corrupt) do not fail the decode; they are counted. It fails when the file
// cannot be read or decoded or its scans ask for more than eight passes'
// worth of work over the picture; OutOfMemory when its pixel memory or the
// decoder's cannot be had. The end marker and anything after the last row's
// data are not read.
//
// For a region, nothing below its last row is decoded, and for colour
// pictures the rows above it are skipped and the columns beside it left
// out, but for a margin of one iMCU row and column (three for progressive
// files) whose neighbours the upsampling and the block smoothing read. Grey
// pictures, whose error diffusion carries every pixel into those after it,
// are decoded from the top and full width down to the region's last row;
// arithmetic-coded ones from the top. Warnings then concern only what was
// read.
//
// DecodePreview decodes at the largest of libjpeg's reductions 1/2, 1/4 and
// 1/8 that keeps the longer side at least `longSide` pixels (at full size
// when none does), with the fast integer inverse DCT, no fancy upsampling
// and no block smoothing.

// Reads the header of the JPEG file open as `file`, at its start; `stamp`
// is what its stat gave.
OpenedPhoto OpenJpegFile(FileDescriptor file, const FileStamp& stamp,
                         const CancelCheck& cancel = {});

// OpenJpegFile for a file's bytes held in memory, which outlive the reader.
OpenedPhoto OpenJpegMemory(std::span<const std::uint8_t> bytes, const CancelCheck& cancel = {});

// OpenJpegMemory, then the picture (or its `region`) decoded into `sink`:
// for tests and fuzzers that hold a file's bytes.
DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, RowSink& sink,
                              const CancelCheck& cancel = {},
                              const std::optional<PixelRect>& region = std::nullopt);

// DecodeJpegMemory into `bitmap`, as DecodeToBitmap fills it.
DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap,
                              const CancelCheck& cancel = {},
                              const std::optional<PixelRect>& region = std::nullopt);

}  // namespace quorvale
