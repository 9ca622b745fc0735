#pragma once

// The JPEG writer: a bitmap encoded into memory (batch/SavePhoto.h saves it).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale {

// What an encode may add to the plain file below; with none given the bytes
// are those of the plain encode.
struct JpegExtras {
  // Above 0: the JFIF density in dots per inch (unit 1, X = Y = dpi, at most
  // 65535); otherwise 1:1 with no unit.
  int dpi = 0;
  // An Exif block (codec/Exif.h) for an APP1 segment right after the JFIF
  // one; left out when longer than one segment can carry.
  std::span<const std::uint8_t> exif{};
  // An ICC profile, written in as many APP2 "ICC_PROFILE" chunks as it needs
  // (left out above the 255 chunks a file can number).
  std::span<const std::uint8_t> icc{};
};

// Encodes `bitmap` as a baseline JFIF 1.01 JPEG (density unit 0, 1:1, no
// other marker unless `extras` add them): float forward DCT, 4:2:0, standard
// Huffman tables, quality limited to 1..100 with force-baseline. nullopt on
// an encoder error.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Bitmap& bitmap, int quality,
                                                    const JpegExtras& extras = {});

}  // namespace quorvale
