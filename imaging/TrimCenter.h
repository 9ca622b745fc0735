#pragma once

#include "imaging/Bitmap.h"

namespace quorvale {

// Cuts `bitmap` down to its centred width x height area. The left margin is
// (w - width) / 2 and the top margin (h - height) / 2, so an odd surplus
// leaves the extra column on the right and the extra row at the bottom.
// Pixel values pass through unchanged.
// Returns 0, or -1 with the bitmap untouched when the crop is larger than the
// photo in either direction, either side is above MaxPlaneSide (6200) or
// below 1.
int TrimCenter(Bitmap& bitmap, int width, int height);

}  // namespace quorvale
