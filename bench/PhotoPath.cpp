#include "bench/PhotoPath.h"

#include <utility>

#include "batch/PhotoSteps.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"

namespace quorvale::bench {

PhotoOptions OptionsFor(Reduction reduction) {
  PhotoOptions options;
  options.reduce = reduction != Reduction::None;
  options.highQuality = reduction == Reduction::HighQuality;
  return options;
}

PathResult RunPhotoPath(PathMemory& memory, const std::string& photo, const PhotoOptions& options,
                        LongShort size) {
  PathResult result;
  Bitmap& bitmap = memory.photo;
  // As in a run: the photo opened once, the crop its header calls for alone
  // decoded, and reduced as its rows come.
  const OpenedPhoto opened = OpenPhotoFile(photo);
  if (!opened.reader) return result;
  const std::optional<PixelRect> region =
      TrimRegion(opened.reader->Header().size, options, size, 0.5);
  const DecodeResult decoded =
      LoadPhoto(*opened.reader, bitmap, options, size, region, MaxPhotoSide);
  if (!decoded.Ok()) return result;
  result.decoded = decoded.picture;
  // A run polls the window between output pixels of the high-quality
  // reduction; here the poll only answers.
  const CancelCheck never = [] { return false; };
  const PreparedPhoto prepared =
      PrepareLoaded(decoded, bitmap, memory.scratch, options, size, 0.5, never, MaxPhotoSide);
  if (prepared.kind != PreparedPhoto::Ready) return result;
  result.saved = {bitmap.Width(), bitmap.Height()};
  const auto encoded = EncodeJpeg(bitmap, options.quality);
  // As in a run, the photo's former memory serves the next decode and the
  // reduced photo's the next reduction.
  if (prepared.reduced) std::swap(bitmap, memory.scratch.Reduced);
  if (!encoded) return result;
  result.encodedBytes = encoded->size();
  result.ok = true;
  return result;
}

}  // namespace quorvale::bench
