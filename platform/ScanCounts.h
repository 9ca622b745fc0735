#pragma once

#include <cstdint>

namespace quorvale {

// The counts of the last folder scan. A scan only adds to them; whoever
// starts one sets all three to 0 first.
struct ScanCounts {
  std::int32_t SubfolderCount = 0;  // folder entries met below the start folder
  std::int32_t FileCount = 0;       // every other entry met
  std::int32_t JpegCount = 0;       // those of them whose name ends in ".jpg"
};

}  // namespace quorvale
