#include "bench/PhotoPath.h"

#include "imaging/JpegFile.h"
#include "imaging/Reduction.h"
#include "imaging/TrimCenter.h"

namespace quorvale::bench {

bool SilentWindow::IsChecked(CheckBox box) {
  switch (box) {
    case CheckBox::CheckBox1:
    case CheckBox::CheckBox5:
      return true;
    case CheckBox::CheckBox2:
      return reduction_ != Reduction::None;
    case CheckBox::CheckBox3:
      return reduction_ == Reduction::HighQuality;
    case CheckBox::CheckBox4:
      return false;
  }
  return false;
}

PathResult RunPhotoPath(RunState& state, Window& window, const std::string& photo,
                        Reduction reduction, LongShort size) {
  PathResult result;
  if (LoadJpegFile(state, window, photo) != 0) return result;
  Bitmap& bitmap = state.SourceBitmap;
  result.decoded = {bitmap.Width(), bitmap.Height()};
  const PixelSize trim = ComputeTrimSize(bitmap.Width(), bitmap.Height(), size);
  if (TrimCenter(bitmap, trim.width, trim.height) != 0) return result;
  if (reduction != Reduction::None) {
    const ReductionBox box = ComputeReductionBox(bitmap.Width(), bitmap.Height(), size);
    if (ReducePhoto(state, window, box.width, box.height) != ReduceResult::GoOn) return result;
  }
  result.saved = {bitmap.Width(), bitmap.Height()};
  const auto encoded = EncodeJpeg(bitmap, window.Quality());
  if (!encoded) return result;
  result.encodedBytes = encoded->size();
  result.ok = true;
  return result;
}

}  // namespace quorvale::bench
