#pragma once

#include <cstdint>

#include "geometry/SizeTable.h"

namespace quorvale {

// The margin before a crop that leaves `surplus` columns (or rows) of the
// photo out, for a crop placed at `position` along that axis: 0 puts it at
// the left (top) edge, 1 at the right (bottom) edge. The margin is
// position x surplus rounded to the nearest whole pixel with halves rounded
// down, so 0 gives 0, 1 gives the whole surplus and 0.5 gives surplus / 2
// truncating (an odd surplus leaves its extra pixel after the crop, as
// TrimCenter does). A position outside [0, 1] counts as the nearer end; NaN
// as 0.5. A surplus below 1 gives 0.
std::int32_t TrimOffset(std::int32_t surplus, double position = 0.5);

// Where the crop of ComputeTrimSize(w, h, target) lies in the w x h photo,
// placed at `position` (as TrimOffset takes it) along the one axis on which
// the photo is too long for the aspect; the other axis is kept whole.
PixelRect ComputeTrimRect(std::int32_t w, std::int32_t h, LongShort target, double position = 0.5);

}  // namespace quorvale
