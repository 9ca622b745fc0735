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
  // The files of other kinds the scan passed over (see RunOptions::allJpegNames
  // and allPhotos), counted also when the run did not start, and the photos
  // whose orientation or profile was left as it was.
  PassedOver passedOver;
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

// The output paths of the listed photos `list`: MapOutputPath of each, and
// with `jpgNames` (a run of every photo kind) a name that does not end in
// ".jpg" (any case) given ".jpg" in place of its extension. Two photos never
// share an output: where they would, a ".jpg" photo keeps the name and every
// other keeps its whole name with ".jpg" added ("a.heic.jpg"), added again
// while that too is taken. `shared[i]` is the name photo i would have had
// when it was renamed so, empty otherwise.
struct OutputPaths {
  std::vector<std::optional<std::string>> paths;
  std::vector<std::string> shared;
};
OutputPaths MapOutputPaths(const std::vector<std::string>& list, const std::string& inputFolder,
                           const std::string& outputFolder, bool jpgNames);

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
