#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "batch/RunEvents.h"
#include "batch/RunOptions.h"
#include "folders/FolderScan.h"

namespace quorvale {

// How a press of Run ended.
struct RunOutcome {
  bool started = false;  // false: a check failed or there was no JPEG file
  bool stopped = false;  // cancelled, or a question answered Yes
  RunCounts counts;
  // Files ending in ".jpeg", ".jpe" or ".jfif" the scan passed over (see
  // RunOptions::allJpegNames); counted also when the run did not start.
  std::int32_t otherJpegNames = 0;
  // What the scan and the crop positions left out (LeftOut); also when the
  // run did not start for no JPEG file or for unknown strict crops.
  LeftOut leftOut = {};
};

// The output path of `inputPath` for the input folder text `inputFolder` and
// the output folder text `outputFolder`: the output folder with a separator,
// then the bytes of the input path after the input folder's byte count.
// nullopt when the input path is shorter than the input folder text. The
// result may exceed MaxOutputPathLength; the caller refuses such a path.
std::optional<std::string> MapOutputPath(const std::string& inputPath,
                                         const std::string& inputFolder,
                                         const std::string& outputFolder);

// The Run button: the checks, the scan, every photo in turn with its
// questions, counters and progress, told to `listener` as events. The
// folders and the size are those of `options`; the per-photo options are
// asked of `listener` for each photo. A stop requested through `stop` acts
// as the Cancel button: the photo in hand is finished (a decode or a
// high-quality reduction in progress is abandoned) and the run ends with its
// summary. An unexpected failure inside a photo (out of memory) is reported
// and ends the run with its summary.
RunOutcome RunBatch(const RunOptions& options, RunListener& listener, std::stop_token stop = {});

}  // namespace quorvale
