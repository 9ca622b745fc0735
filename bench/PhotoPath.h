#pragma once

#include <cstddef>
#include <string>

#include "batch/RunOptions.h"
#include "geometry/SizeTable.h"
#include "pixels/Bitmap.h"
#include "pixels/Reduction.h"

namespace quorvale::bench {

// How the per-photo path reduces: not at all, plain, or high quality.
enum class Reduction { None, Plain, HighQuality };

// L at 400 dpi, the default size of a run.
inline constexpr LongShort SizeL{2000, 1401};

// The per-photo options of a run that trims and reduces as `reduction`
// says, the others as the main window opens (small photos skipped, quality
// 90).
PhotoOptions OptionsFor(Reduction reduction);

// The memory a run keeps from photo to photo: the photo in hand and the
// scratch of the reductions.
struct PathMemory {
  Bitmap photo{10, 10};
  ReductionScratch scratch;
};

struct PathResult {
  bool ok = false;          // every step succeeded
  PixelSize decoded{0, 0};  // the photo as decoded
  PixelSize saved{0, 0};    // the photo as encoded
  std::size_t encodedBytes = 0;
};

// One photo's way through a run, as the run takes it: LoadPhoto (the crop
// of the centre trim to `size` alone, reduced as its rows come when
// `options` ask for a reduction), or PreparePhoto after a whole decode where
// the run takes that way, then the encode at the options' quality, into
// memory instead of a file. Nothing cancels.
PathResult RunPhotoPath(PathMemory& memory, const std::string& photo, const PhotoOptions& options,
                        LongShort size = SizeL);

}  // namespace quorvale::bench
