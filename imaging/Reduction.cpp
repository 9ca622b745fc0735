#include "imaging/Reduction.h"

#include "imaging/HighQuality.h"

namespace quorvale {

ReduceResult ReducePhoto(Bitmap& photo, ReductionScratch& scratch, int width, int height,
                         bool highQuality, const CancelPoll& cancel, int maxSource) {
  if (photo.Width() < width || photo.Height() < height) return {ReduceResult::TooSmall, {}};
  std::string declined;
  if (highQuality) {
    HighQualityResult result =
        ShrinkHighQuality(photo, scratch.ResultPlane, width, height, cancel, maxSource);
    if (result.code == 0) return {ReduceResult::Reduced, {}};
    if (result.code == -2) return {ReduceResult::Cancelled, std::move(result.reason)};
    declined = std::move(result.reason);
  }
  ShrinkPlain(photo, width, height);
  return {ReduceResult::Reduced, std::move(declined)};
}

void ShrinkPlain(Bitmap& photo, int width, int height) {
  photo.Shrink(width, height);
}

}  // namespace quorvale
