#include "imaging/Reduction.h"

#include <utility>

#include "imaging/HighQuality.h"

namespace quorvale {

ReduceResult ReducePhoto(Bitmap& photo, ReductionScratch& scratch, int width, int height,
                         bool highQuality, const CancelPoll& cancel, int maxSource) {
  if (photo.Width() < width || photo.Height() < height) return {ReduceResult::TooSmall, {}};
  std::string declined;
  if (highQuality) {
    HighQualityResult result = ShrinkHighQuality(photo, scratch.Reduced, scratch.ResultPlane, width,
                                                 height, cancel, maxSource);
    if (result.code == 0) {
      std::swap(photo, scratch.Reduced);
      return {ReduceResult::Reduced, {}};
    }
    if (result.code == -2) return {ReduceResult::Cancelled, std::move(result.reason)};
    declined = std::move(result.reason);
  }
  ShrinkPlain(photo, scratch.Reduced, width, height);
  return {ReduceResult::Reduced, std::move(declined)};
}

void ShrinkPlain(Bitmap& photo, Bitmap& work, int width, int height) {
  // Every pixel of the work bitmap is drawn, so it need not be cleared.
  work.Allocate(width, height);
  work.StretchFrom(photo, width, height);
  std::swap(photo, work);
}

}  // namespace quorvale
