#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/RunState.h"
#include "platform/PathSyntax.h"
#include "platform/Window.h"

namespace quorvale {

// Openings of texts a front end may need to recognise: the same-name
// question, and the summary in its finished and its stopped wording.
inline constexpr std::string_view SameNameQuestion =
    "既に同名のJPEGファイルが存在します。中断しますか？";
inline constexpr std::string_view FinishedSummaryOpening = "作業が終了しました。";
inline constexpr std::string_view StoppedSummaryOpening = "作業を中断しました。";

// How a press of Run ended.
struct RunOutcome {
  bool started = false;  // false: a check failed or there was no JPEG file
  bool stopped = false;  // CancelRequested at the end: cancelled or a Yes
  std::int32_t SavedCount = 0;
  std::int32_t ErrorCount = 0;
  std::int32_t SkipCount = 0;
  std::string summary;  // the summary text shown at the end, empty if not started
};

// The output path of `inputPath` for the input folder text `inputFolder` and
// the output folder text `outputFolder`: the output folder with a separator,
// then the bytes of the input path after the input folder's byte count.
// nullopt when the input path is shorter than the input folder text. The
// result may exceed MaxOutputPathLength; the caller refuses such a path.
std::optional<std::string> MapOutputPath(const std::string& inputPath,
                                         const std::string& inputFolder,
                                         const std::string& outputFolder,
                                         const PathSyntax& syntax = PathSyntax::Native());

// The Run button: the checks, the scan, every file in turn with its
// questions, log lines and counters, progress, the summary, and the window
// back to idle. Questions, notices and the log go through `window`; an
// unexpected failure inside a file (out of memory) is reported and ends the
// run with its summary.
RunOutcome RunBatch(RunState& state, Window& window);

}  // namespace quorvale
