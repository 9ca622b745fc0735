#pragma once

#include "imaging/Bitmap.h"
#include "imaging/Plane.h"

namespace quorvale {

// Cuts `bitmap` down to its centred width x height area. The left margin is
// (w - width) / 2 and the top margin (h - height) / 2, so an odd surplus
// leaves the extra column on the right and the extra row at the bottom.
// Pixel values pass through unchanged.
// Returns 0, or -1 with the bitmap untouched when the crop is larger than the
// photo in either direction, either side is above `maxSide` (by default
// MaxPlaneSide, 6200, the limit of the fixed planes of the high-quality
// reduction) or below 1.
int TrimCenter(Bitmap& bitmap, int width, int height, int maxSide = MaxPlaneSide);

}  // namespace quorvale
