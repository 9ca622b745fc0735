#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "codec/PhotoReader.h"
#include "geometry/SizeTable.h"

namespace quorvale {

// The most pixels a photo of any format may declare, whatever the memory:
// a gigapixel, beyond any camera's frame. The memory a decode may hold is
// DecodeMemoryBudget() (codec/JpegFile.h).
inline constexpr std::uint64_t MaxPhotoPixels = std::uint64_t{1} << 30;

// True when `region` is a non-empty rectangle inside a width x height picture.
inline bool InsidePicture(const PixelRect& region, int width, int height) {
  return region.width >= 1 && region.height >= 1 && region.left >= 0 && region.top >= 0 &&
         region.left <= width - region.width && region.top <= height - region.height;
}

// Writes `count` pixels of `source` (3 or 4 bytes a pixel, red first or blue
// first) as blue, green, red to `target`. A fourth byte is the pixel's
// opacity, and the pixel is laid on white: each value becomes
// (v * a + 255 * (255 - a) + 127) / 255, rounded to the nearest level.
inline void RowToBgr(const std::uint8_t* source, int channels, bool redFirst, int count,
                     std::uint8_t* target) {
  const int b = redFirst ? 2 : 0;
  const int r = redFirst ? 0 : 2;
  for (int x = 0; x < count; ++x, source += channels, target += 3) {
    if (channels == 4) {
      const unsigned a = source[3];
      const unsigned white = 255 * (255 - a) + 127;
      target[0] = static_cast<std::uint8_t>((source[b] * a + white) / 255);
      target[1] = static_cast<std::uint8_t>((source[1] * a + white) / 255);
      target[2] = static_cast<std::uint8_t>((source[r] * a + white) / 255);
    } else {
      target[0] = source[b];
      target[1] = source[1];
      target[2] = source[r];
    }
  }
}

inline DecodeResult Failure(DecodeStatus status, std::string reason) {
  DecodeResult result;
  result.status = status;
  result.reason = std::move(reason);
  return result;
}

// A reader's Decode: once only, a region inside the picture (the whole
// picture when none), decoded by `rows`, and out of memory as its status.
template <typename Rows>
DecodeResult DecodeOnce(bool& used, PixelSize size, const std::optional<PixelRect>& region,
                        Rows rows) {
  if (used) return Failure(DecodeStatus::Failed, "the photo was decoded already");
  used = true;
  DecodeResult result;
  if (region && !InsidePicture(*region, size.width, size.height)) {
    result = Failure(DecodeStatus::Failed, "the region asked for lies outside the picture");
  } else {
    try {
      result = rows(region.value_or(PixelRect{0, 0, size.width, size.height}));
    } catch (const std::bad_alloc&) {
      result = Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
    }
  }
  result.picture = size;
  result.region = region;
  return result;
}

}  // namespace quorvale
