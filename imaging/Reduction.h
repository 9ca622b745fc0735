#pragma once

#include <optional>

#include "imaging/Bitmap.h"
#include "imaging/Cancel.h"
#include "imaging/HighQuality.h"
#include "imaging/Plane.h"

namespace quorvale {

// The scratch memory of the reductions, kept from photo to photo. A reduced
// photo is made in `Reduced` and then traded with the photo, so after a
// reduction `Reduced` holds the photo's former memory: kept, it serves the
// next reduction; taken, it may serve the next decode.
struct ReductionScratch {
  Bitmap Reduced;
  Plane ResultPlane;  // sized by the reduction; pages are committed where written
};

struct ReduceResult {
  enum Kind {
    Reduced,    // the photo is the box now
    TooSmall,   // smaller than the box in either direction: left as it is
    Cancelled,  // the high-quality reduction saw a cancel; the photo is not to be
                // saved
  };
  Kind kind = Reduced;
  // Why the high-quality reduction declined, when the plain one ran instead.
  std::optional<HighQualityDecline> declined{};
};

// Reduces `photo` to the box width x height. With `highQuality` the
// high-quality reduction is tried first; when it declines, the plain
// reduction runs instead and the reason is returned. `cancel` is asked
// between output rows of the high-quality reduction, which takes photos
// up to `maxSource` on either side. Once reduced, the photo is a new
// bitmap and the memory it was decoded into is in `scratch.Reduced`.
ReduceResult ReducePhoto(Bitmap& photo, ReductionScratch& scratch, int width, int height,
                         bool highQuality, const CancelCheck& cancel, int maxSource = MaxPlaneSide);

// Plain nearest-neighbour reduction of `photo`, which must be at least
// width x height, made in `work` and traded with the photo. Never fails.
void ShrinkPlain(Bitmap& photo, Bitmap& work, int width, int height);

}  // namespace quorvale
