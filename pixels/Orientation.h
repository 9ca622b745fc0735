#pragma once

#include "pixels/Bitmap.h"

namespace quorvale {

// Turns and mirrors `bitmap` so that its pixels stand as a photo stored with
// the Exif orientation `orientation` is shown:
//   1 as stored                    5 mirrored about the main diagonal
//   2 mirrored left to right       6 turned 90 degrees clockwise
//   3 turned 180 degrees           7 mirrored about the other diagonal
//   4 mirrored top to bottom       8 turned 90 degrees anticlockwise
// 5 to 8 swap width and height. A value outside 1..8 counts as 1.
// 2 to 4 work in place; 5 to 8 fill a new bitmap and then free the old
// pixels, so for a while both are held. Throws std::bad_alloc, leaving the
// bitmap as it was, when the memory cannot be had.
void ApplyOrientation(Bitmap& bitmap, int orientation);

// The size of a width x height photo once `orientation` is applied.
struct OrientedSize {
  int width;
  int height;
};
OrientedSize OrientedDimensions(int width, int height, int orientation);

}  // namespace quorvale
