#pragma once

#include "geometry/SizeTable.h"
#include "pixels/Bitmap.h"

namespace quorvale {

// Cuts `bitmap` down to its width x height area placed at `position` along
// each axis: the left margin is TrimOffset(w - width, position), the top
// margin TrimOffset(h - height, position) (geometry/TrimPosition.h). A trim
// to an aspect shortens one axis only, so the position moves the crop along
// that one. Pixel values pass through unchanged.
// Refuses, with the bitmap untouched, a crop larger than the photo in either
// direction (LargerThanPhoto), a side above `maxSide` (AboveLimit; by
// default MaxPhotoSide, 6200, the limit of the high-quality reduction) or a
// side below 1 (Empty). At the centre (0.5) the margins are (w - width) / 2
// and (h - height) / 2: an odd surplus leaves the extra column on the right
// and the extra row at the bottom.
enum class TrimStatus { Trimmed, LargerThanPhoto, AboveLimit, Empty };
TrimStatus TrimAt(Bitmap& bitmap, int width, int height, double position,
                  int maxSide = MaxPhotoSide);

}  // namespace quorvale
