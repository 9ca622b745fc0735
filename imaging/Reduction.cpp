#include "imaging/Reduction.h"

#include "imaging/HighQuality.h"

namespace quorvale {

ReduceResult ReducePhoto(RunState& state, Window& window, int width, int height) {
  Bitmap& photo = state.SourceBitmap;
  if (photo.Width() < width || photo.Height() < height) {
    window.AppendLog("元画像が指定サイズより小さいので縮小は行われません");
    return ReduceResult::GoOn;
  }
  if (window.IsChecked(CheckBox::CheckBox3)) {
    const int result = ShrinkHighQuality(state, window, photo, width, height);
    if (result == 0) return ReduceResult::GoOn;
    if (result == -2) {
      window.AppendLog("中断");
      window.AppendLog(state.MessageText);
      window.SetStatusText(state.MessageText);
      return ReduceResult::Stop;
    }
  }
  ShrinkPlain(state, width, height);
  return ReduceResult::GoOn;
}

void ShrinkPlain(RunState& state, int width, int height) {
  // Every pixel of the work bitmap is drawn, so it need not be cleared.
  state.WorkBitmap.Allocate(width, height);
  state.WorkBitmap.StretchFrom(state.SourceBitmap, width, height);
  state.SourceBitmap.CopyRect(state.WorkBitmap, 0, 0, width, height, 0, 0);
  state.SourceBitmap.SetWidth(width);
  state.SourceBitmap.SetHeight(height);
}

}  // namespace quorvale
