#pragma once

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/Cancel.h"
#include "imaging/Plane.h"

namespace quorvale {

struct HighQualityResult {
  // 0  the result is width x height, reduced and sharpened;
  // -1 a precondition failed (ratio, same size, source above `maxSource`,
  //    target above 6200, more than 1/100, not a reduction in both
  //    directions); the result is untouched and `reason` says why;
  // -2 the cancel poll answered true between output pixels; the result
  //    is unfinished.
  // The source is never changed.
  int code = 0;
  std::string reason;  // at most 2047 bytes
};

// Reduces `source` to width x height in `result`, by area averaging in
// hundredths of a source pixel into `plane` (grown to width x height when
// smaller: std::bad_alloc when it cannot be), then sharpens the brightness
// with a 1-2-1 / 2-0-2 / 1-2-1 kernel. Integer arithmetic, truncating
// divisions, 64-bit products. The rows are sharpened as soon as the row
// below them is resampled. `cancel` is polled at the first output pixel
// and then at most about every 10 ms.
// The source is read straight from its rows and only the resampled pixels
// go into the plane, so the source may be larger than the plane: by
// default it is held to MaxPlaneSide like the result; `maxSource` lifts that.
HighQualityResult ShrinkHighQuality(const Bitmap& source, Bitmap& result, Plane& plane, int width,
                                    int height, const CancelPoll& cancel,
                                    int maxSource = MaxPlaneSide);

}  // namespace quorvale
