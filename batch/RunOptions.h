#pragma once

#include <cstdint>
#include <string>

#include "imaging/SizeTable.h"

namespace quorvale {

// The options a run takes afresh for each photo, so that a change made
// during a run applies from the next photo on.
struct PhotoOptions {
  bool trim = true;          // trim to the target aspect (CheckBox1)
  bool skipSmall = true;     // a trimming run skips photos of at most 320 x 240 (CheckBox5)
  bool reduce = false;       // reduce to the target box (CheckBox2)
  bool highQuality = false;  // try the high-quality reduction first (CheckBox3)
  int quality = 90;          // JPEG quality 0..100 (TrackBar1)
  friend bool operator==(const PhotoOptions&, const PhotoOptions&) = default;
};

// The options of one press of Run. The folders, the size and the scan's
// reach are fixed for the whole run; `photo` holds the per-photo options as
// they stood at the press, which the run's checks look at.
struct RunOptions {
  std::string inputFolder;       // path bytes, as the window holds them
  std::string outputFolder;      // path bytes, as the window holds them
  LongShort target{2000, 1401};  // (L, S) of the size at its resolution
  bool subfolders = true;        // scan the subfolders too (CheckBox4 off)
  // Photos decoded at once: up to this many are decoded ahead of the one in
  // hand on worker threads; 1 decodes each at its turn, 0 takes one per core.
  int jobs = 0;
  PhotoOptions photo;
};

}  // namespace quorvale
