#include "imaging/Reduction.h"

#include <utility>

#include "imaging/HighQuality.h"

namespace quorvale {

ReduceResult ReducePhoto(Bitmap& photo, ReductionScratch& scratch, int width, int height,
                         bool highQuality, const CancelCheck& cancel, int maxSource) {
  if (photo.Width() < width || photo.Height() < height) return {ReduceResult::TooSmall};
  std::optional<HighQualityDecline> declined;
  if (highQuality) {
    const HighQualityResult result = ShrinkHighQuality(photo, scratch.Reduced, scratch.ResultPlane,
                                                       width, height, cancel, maxSource);
    if (result.kind == HighQualityResult::Reduced) {
      std::swap(photo, scratch.Reduced);
      return {ReduceResult::Reduced};
    }
    if (result.kind == HighQualityResult::Cancelled) return {ReduceResult::Cancelled};
    declined = result.decline;
  }
  ShrinkPlain(photo, scratch.Reduced, width, height);
  return {ReduceResult::Reduced, declined};
}

void ShrinkPlain(Bitmap& photo, Bitmap& work, int width, int height) {
  // Every pixel of the work bitmap is drawn, so it need not be cleared.
  work.Allocate(width, height);
  work.StretchFrom(photo, width, height);
  std::swap(photo, work);
}

}  // namespace quorvale
