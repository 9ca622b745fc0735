#include "bench/PhotoPath.h"

#include "imaging/JpegFile.h"
#include "imaging/Reduction.h"
#include "imaging/TrimCenter.h"

namespace quorvale::bench {

testing::FakeWindow WindowFor(Reduction reduction) {
  testing::FakeWindow window;
  window.Check(CheckBox::CheckBox2, reduction != Reduction::None);
  window.Check(CheckBox::CheckBox3, reduction == Reduction::HighQuality);
  return window;
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
