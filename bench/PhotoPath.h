#pragma once

#include <cstddef>
#include <string>

#include "imaging/RunState.h"
#include "imaging/SizeTable.h"
#include "platform/Window.h"
#include "support/FakeWindow.h"

namespace quorvale::bench {

// How the per-photo path reduces: not at all, plain (CheckBox2) or high
// quality (CheckBox2 and CheckBox3).
enum class Reduction { None, Plain, HighQuality };

// L at 400 dpi, the default size of a run.
inline constexpr LongShort SizeL{2000, 1401};

// A window for a run that trims and reduces as `reduction` says, with the
// rest of the main window's initial states (quality 90, every question
// answered No).
testing::FakeWindow WindowFor(Reduction reduction);

struct PathResult {
  bool ok = false;          // every step succeeded
  PixelSize decoded{0, 0};  // the photo as decoded
  PixelSize saved{0, 0};    // the photo as encoded
  std::size_t encodedBytes = 0;
};

// One photo's way through a run, as the run takes it: LoadJpegFile, the
// centre trim to `size`, the reduction box and ReducePhoto (unless
// `reduction` is None), then the encode at the window's quality, into memory
// instead of a file.
PathResult RunPhotoPath(RunState& state, Window& window, const std::string& photo,
                        Reduction reduction, LongShort size = SizeL);

}  // namespace quorvale::bench
