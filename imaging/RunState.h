#pragma once

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/Plane.h"
#include "platform/ScanCounts.h"

namespace quorvale {

// The state one main window shares with every operation it runs. Owned by
// the window (or by quorvale-batch); one photo at a time passes through the
// bitmaps. The scan counters come from ScanCounts.
struct RunState : ScanCounts {
  std::string CaptionText;  // caption of the window and of every message box
  std::string MessageText;  // reason left by the high-quality reduction
  bool CancelRequested = false;
  Bitmap SourceBitmap{10, 10};  // the photo in hand
  Bitmap WorkBitmap{10, 10};    // scratch of the trim and the plain reduction
  Plane SourcePlane;            // reserved only: the high-quality reduction reads
                                // its source straight from the bitmap rows
  Plane ResultPlane;            // resampled cells of the high-quality reduction
};

}  // namespace quorvale
