#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvale {

// What a JPEG file's head says about the photo beyond its pixels.
struct JpegMetadata {
  // The payload of the first APP1 segment that opens with "Exif\0\0",
  // those six bytes included (see codec/Exif.h); empty when there is none.
  std::vector<std::uint8_t> exif;
  // The ICC profile, put together from the APP2 "ICC_PROFILE" chunks in the
  // order of their sequence numbers; empty when there is none, or when the
  // chunks disagree on their count, repeat or miss a number, or a chunk is
  // cut off.
  std::vector<std::uint8_t> icc;
  // The Exif orientation, 1..8; 1 without Exif or with an invalid value.
  int orientation = 1;
  // The walk reached the first scan (SOS) or the end of the picture (EOI).
  // False when the bytes ended first or are not a JPEG head: the Exif found
  // up to there is still given, but no ICC profile, whose later chunks
  // cannot be known.
  bool complete = false;
};

// The colour space an ICC profile's header names (its bytes 16 to 19, such
// as "RGB ", "CMYK" or "GRAY"); empty when the profile is shorter than the
// 128-byte header.
std::string IccColourSpace(std::span<const std::uint8_t> profile);

// Walks the marker segments of `head`, the first bytes of a JPEG file, from
// SOI up to the first SOS, never reading past the bytes given. Any bytes are
// safe: a bad marker, a segment length below 2 or past the end ends the walk.
JpegMetadata ReadJpegMetadata(std::span<const std::uint8_t> head);

// The most bytes of marker segments (APPn, COM) a file's head may carry
// before its first scan: the largest ICC profile a JPEG can hold, 255 full
// APP2 segments, their markers included.
inline constexpr std::size_t MaxMetadataSegmentBytes = std::size_t{255} * (65535 + 2);

// The most of a file's head other than those segments: the tables and the
// frame, with room for junk between markers.
inline constexpr std::size_t MaxHeaderOtherBytes = std::size_t{1} << 20;

}  // namespace quorvale
