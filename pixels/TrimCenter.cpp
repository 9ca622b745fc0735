#include "pixels/TrimCenter.h"

#include "geometry/TrimPosition.h"

namespace quorvale {

TrimStatus TrimAt(Bitmap& bitmap, int width, int height, double position, int maxSide) {
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  // A zero side would carry an empty photo on to an empty output file.
  if (width < 1 || height < 1) return TrimStatus::Empty;
  if (width > w || height > h) return TrimStatus::LargerThanPhoto;
  // The high-quality reduction works on planes of the default limit's size;
  // a larger crop is refused here so that no photo reaches it that it could
  // not hold. A caller whose reduction is sized to the photo lifts it.
  if (width > maxSide || height > maxSide) return TrimStatus::AboveLimit;
  // Cropping in place moves only the bitmap's origin: no pixel is copied.
  bitmap.Crop(TrimOffset(w - width, position), TrimOffset(h - height, position), width, height);
  return TrimStatus::Trimmed;
}

}  // namespace quorvale
