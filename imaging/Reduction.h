#pragma once

#include "imaging/RunState.h"
#include "platform/Window.h"

namespace quorvale {

enum class ReduceResult { GoOn, Stop };

// Reduces state.SourceBitmap to the box width x height. A photo smaller than
// the box in either direction is left as it is and logged
// "元画像が指定サイズより小さいので縮小は行われません". With CheckBox3 ticked
// (read afresh) the high-quality reduction is tried first; when it declines,
// the plain reduction runs instead and the reason is not shown. Stop only
// when the high-quality reduction saw a cancel: "中断" and MessageText are
// then logged and MessageText is put on the status line.
ReduceResult ReducePhoto(RunState& state, Window& window, int width, int height);

// Plain nearest-neighbour reduction of state.SourceBitmap, which must be at
// least width x height, through state.WorkBitmap. Never fails.
void ShrinkPlain(RunState& state, int width, int height);

}  // namespace quorvale
