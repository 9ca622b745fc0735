#pragma once

#include "imaging/Bitmap.h"
#include "imaging/RunState.h"
#include "platform/Window.h"

namespace quorvale {

// Reduces `bitmap` to width x height by area averaging in hundredths of a
// source pixel, then sharpens the brightness with a 1-2-1 / 2-0-2 / 1-2-1
// kernel. Integer arithmetic, truncating divisions, 64-bit products.
// state.MessageText is emptied first. Returns
//   0  the bitmap is width x height, reduced and sharpened;
//  -1  a precondition failed (ratio, same size, source or target above 6200,
//      more than 1/100, not a reduction in both directions); the bitmap is
//      untouched and state.MessageText holds the reason;
//  -2  state.CancelRequested was found set between output pixels; the
//      bitmap keeps its size but is partly overwritten.
// Messages are pumped between output pixels, at most about every 10 ms.
int ShrinkHighQuality(RunState& state, Window& window, Bitmap& bitmap, int width, int height);

}  // namespace quorvale
