#pragma once

#include <string>

#include "batch/RunOptions.h"
#include "imaging/Bitmap.h"
#include "imaging/Cancel.h"
#include "imaging/Reduction.h"
#include "imaging/SizeTable.h"

namespace quorvale {

// At most 320 x 240 in either orientation: what a trimming run skips.
bool IsSmallPhoto(int w, int h);

// The pixel work of one decoded photo, as a run does it between the decode
// and the save.
struct PreparedPhoto {
  enum Kind {
    Ready,         // trimmed and reduced as asked; to be saved
    SkippedSmall,  // at most 320 x 240 in a trimming run that skips them
    TrimFailed,    // the centre trim refused the photo; it is untouched
    Cancelled,     // the high-quality reduction saw a cancel; not to be saved
  };
  Kind kind = Ready;
  PixelSize crop{0, 0};   // the centred crop, or the whole photo when not trimmed
  bool tooSmall = false;  // reducing, but smaller than the box: left as it is
  std::string reason;     // the reduction's decline reason, or what a cancel left
};

// Trims `photo` about its centre to the aspect of `target` when
// `options.trim` (after the skip rule when `options.skipSmall`), then
// reduces it to the box of `target` when `options.reduce`, trying the
// high-quality reduction first when `options.highQuality`. `cancel` is
// polled inside the high-quality reduction.
PreparedPhoto PreparePhoto(Bitmap& photo, ReductionScratch& scratch, const PhotoOptions& options,
                           LongShort target, const CancelPoll& cancel);

}  // namespace quorvale
