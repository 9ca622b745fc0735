#pragma once

#include "imaging/Bitmap.h"
#include "imaging/Plane.h"

namespace quorvale {

// Cuts `bitmap` down to its centred width x height area. The left margin is
// (w - width) / 2 and the top margin (h - height) / 2, so an odd surplus
// leaves the extra column on the right and the extra row at the bottom.
// Pixel values pass through unchanged.
// Refuses, with the bitmap untouched, a crop larger than the photo in either
// direction (LargerThanPhoto), a side above `maxSide` (AboveLimit; by
// default MaxPlaneSide, 6200, the limit of the high-quality reduction) or a
// side below 1 (Empty).
enum class TrimStatus { Trimmed, LargerThanPhoto, AboveLimit, Empty };
TrimStatus TrimCenter(Bitmap& bitmap, int width, int height, int maxSide = MaxPlaneSide);

}  // namespace quorvale
