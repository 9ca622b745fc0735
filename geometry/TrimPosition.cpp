#include "geometry/TrimPosition.h"

#include <cmath>

namespace quorvale {

std::int32_t TrimOffset(std::int32_t surplus, double position) {
  if (surplus < 1) return 0;
  if (std::isnan(position)) position = 0.5;
  if (position <= 0) return 0;
  if (position >= 1) return surplus;
  // Rounding half down keeps the centre where truncating surplus / 2 puts it;
  // the product is exact for 0.5, so an odd surplus always ends on a half.
  return static_cast<std::int32_t>(std::ceil(position * surplus - 0.5));
}

PixelRect ComputeTrimRect(std::int32_t w, std::int32_t h, LongShort target, double position) {
  const PixelSize crop = ComputeTrimSize(w, h, target);
  return {TrimOffset(w - crop.width, position), TrimOffset(h - crop.height, position), crop.width,
          crop.height};
}

}  // namespace quorvale
