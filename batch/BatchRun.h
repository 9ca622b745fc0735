#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "batch/RunOptions.h"
#include "batch/RunPort.h"
#include "folders/FolderScan.h"
#include "platform/PathSyntax.h"

namespace quorvale {

// How a press of Run ended.
struct RunOutcome {
  bool started = false;  // false: a check failed or there was no JPEG file
  bool stopped = false;  // cancelled, or a question answered Yes
  std::int32_t SavedCount = 0;
  std::int32_t ErrorCount = 0;
  std::int32_t SkipCount = 0;
  std::string summary;  // the summary text shown at the end, empty if not started
  // Files ending in ".jpeg", ".jpe" or ".jfif" the scan passed over (see
  // RunOptions::allJpegNames); counted also when the run did not start.
  std::int32_t otherJpegNames = 0;
  // Folders under the input folder that the scan could not list (their
  // photos are in no count); the window's log does not show them.
  UnlistedFolders unlistedFolders = {};
};

// The summary of a run: "作業が終了しました。保存ファイル数 %4d  エラー %4d
// スキップ  %4d", or in its stopped wording "作業を中断しました。…".
std::string FormatSummary(bool stopped, std::int32_t saved, std::int32_t errors,
                          std::int32_t skipped);

// The output path of `inputPath` for the input folder text `inputFolder` and
// the output folder text `outputFolder`: the output folder with a separator,
// then the bytes of the input path after the input folder's byte count.
// nullopt when the input path is shorter than the input folder text. The
// result may exceed MaxOutputPathLength; the caller refuses such a path.
std::optional<std::string> MapOutputPath(const std::string& inputPath,
                                         const std::string& inputFolder,
                                         const std::string& outputFolder,
                                         const PathSyntax& syntax = PathSyntax::Native());

// The Run button: the checks, the scan, every photo in turn with its
// questions, log lines and counters, progress, the summary, and the front
// end back to idle. The folders and the size are those of `options`; the
// per-photo options are asked of `port` for each photo. An unexpected
// failure inside a photo (out of memory) is reported and ends the run with
// its summary.
RunOutcome RunBatch(const RunOptions& options, RunPort& port);

}  // namespace quorvale
