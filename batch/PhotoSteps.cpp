#include "batch/PhotoSteps.h"

#include "imaging/TrimCenter.h"

namespace quorvale {

bool IsSmallPhoto(int w, int h) {
  return (w <= 320 && h <= 240) || (w <= 240 && h <= 320);
}

PreparedPhoto PreparePhoto(Bitmap& photo, ReductionScratch& scratch, const PhotoOptions& options,
                           LongShort target, const CancelPoll& cancel) {
  PreparedPhoto prepared;
  prepared.crop = {photo.Width(), photo.Height()};
  if (options.trim) {
    if (options.skipSmall && IsSmallPhoto(photo.Width(), photo.Height())) {
      prepared.kind = PreparedPhoto::SkippedSmall;
      return prepared;
    }
    prepared.crop = ComputeTrimSize(photo.Width(), photo.Height(), target);
    if (TrimCenter(photo, prepared.crop.width, prepared.crop.height) != 0) {
      prepared.kind = PreparedPhoto::TrimFailed;
      return prepared;
    }
  }
  if (options.reduce) {
    const ReductionBox box = ComputeReductionBox(photo.Width(), photo.Height(), target);
    ReduceResult reduced =
        ReducePhoto(photo, scratch, box.width, box.height, options.highQuality, cancel);
    prepared.tooSmall = reduced.kind == ReduceResult::TooSmall;
    prepared.reason = std::move(reduced.reason);
    if (reduced.kind == ReduceResult::Cancelled) prepared.kind = PreparedPhoto::Cancelled;
  }
  return prepared;
}

}  // namespace quorvale
