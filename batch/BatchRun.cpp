#include "batch/BatchRun.h"

#include <cstdio>
#include <exception>
#include <new>

#include "folders/FolderScan.h"
#include "folders/PathRules.h"
#include "imaging/JpegFile.h"
#include "imaging/Reduction.h"
#include "imaging/SizeTable.h"
#include "imaging/TrimCenter.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

constexpr const char* kNoInputFolder = "入力フォルダが指定されていません。";
constexpr const char* kNoOutputFolder = "出力フォルダが指定されていません。";
constexpr const char* kNothingToDo = "縦横比変更か解像度縮小のどちらか１つはチェックしてください。";
constexpr const char* kNoJpegFiles = "入力フォルダにJPEGファイルが存在しません。";
constexpr const char* kCancelled = "中断しました。";
constexpr const char* kStopLine = "中断";

constexpr const char* kAskMissing = "入力フォルダにJPEGファイルが存在しません。中断しますか？\n\n";
constexpr const char* kAskUnreadable = "JPEGファイルを読み込めませんでした。中断しますか？\n\n";
constexpr const char* kAskTrim =
    "JPEGファイルのトリミングが実行出来ませんでした。中断しますか？\n\n";
constexpr const char* kAskBadName = "JPEGファイルのファイル名が不正です。中断しますか？\n\n";
constexpr const char* kAskSave = "JPEGファイルの保存が出来ませんでした。中断しますか？\n\n";

constexpr const char* kLogMissing = "JPEGファイルが存在しません";
constexpr const char* kLogUnreadable = "JPEGファイルを読み込めません";
constexpr const char* kLogSmall = "320px×240px以下なのでスキップ";
constexpr const char* kLogTrim = "トリミング失敗";
constexpr const char* kLogBadName = "ファイル名が不正";
constexpr const char* kLogTooLong = "ファイル名が長すぎます";
constexpr const char* kLogSave = "保存に失敗";

constexpr const char* kOutOfMemory = "メモリが不足したため、処理を中断しました。\n\n";
constexpr const char* kUnexpected = "予期しないエラーが発生したため、処理を中断しました。\n\n";

// At most 320 x 240 in either orientation.
bool IsSmallPhoto(int w, int h) {
  return (w <= 320 && h <= 240) || (w <= 240 && h <= 320);
}

enum class Next { NextFile, Stop };

// One press of Run from the start of processing to the end of the loop.
class Run {
 public:
  Run(RunState& state, Window& window, LongShort target, const PathList& list)
      : state_(state), window_(window), target_(target), list_(list) {}

  void ProcessAll() {
    for (std::size_t i = 0; i < list_.size(); ++i) {
      if (ProcessGuarded(i) == Next::Stop) break;
    }
  }

  std::int32_t SavedCount = 0;
  std::int32_t ErrorCount = 0;
  std::int32_t SkipCount = 0;

 private:
  // A failure the steps do not report by a result (out of memory, or any
  // other exception from below) ends the run the way a Cancel would, so the
  // summary is still shown and the window gets back to idle.
  Next ProcessGuarded(std::size_t i) {
    try {
      return ProcessFile(i);
    } catch (const std::bad_alloc&) {
      window_.ShowMessage(kOutOfMemory + list_[i]);
    } catch (const std::exception& error) {
      window_.ShowMessage(kUnexpected + list_[i] + "\n" + error.what());
    }
    return StopRule();
  }

  Next ProcessFile(std::size_t i) {
    const std::string& p = list_[i];
    window_.AppendLog(p);
    window_.ProcessMessages();
    if (state_.CancelRequested) {
      window_.ShowMessage(kCancelled);
      window_.AppendLog(kStopLine);
      return Next::Stop;
    }

    if (!FileExists(p)) return Problem(kAskMissing + p, kLogMissing);

    if (LoadJpegFile(state_, window_, p) != 0) return Problem(kAskUnreadable + p, kLogUnreadable);

    if (window_.IsChecked(CheckBox::CheckBox1)) {
      const int w = state_.SourceBitmap.Width();
      const int h = state_.SourceBitmap.Height();
      if (window_.IsChecked(CheckBox::CheckBox5) && IsSmallPhoto(w, h)) {
        window_.AppendLog(kLogSmall);
        ++SkipCount;
        return Next::NextFile;
      }
      const PixelSize crop = ComputeTrimSize(w, h, target_);
      state_.MessageText.clear();
      if (TrimCenter(state_.SourceBitmap, crop.width, crop.height) != 0) {
        return Problem(kAskTrim + state_.MessageText + "\n" + p, kLogTrim);
      }
    }

    if (window_.IsChecked(CheckBox::CheckBox2)) {
      const ReductionBox box =
          ComputeReductionBox(state_.SourceBitmap.Width(), state_.SourceBitmap.Height(), target_);
      // ReducePhoto has logged the stop itself and CancelRequested is set.
      if (ReducePhoto(state_, window_, box.width, box.height) == ReduceResult::Stop) {
        return Next::Stop;
      }
    }

    const std::optional<std::string> output =
        MapOutputPath(p, window_.InputFolderText(), window_.OutputFolderText());
    if (!output) return Problem(kAskBadName + p, kLogBadName);
    // A cut path would write the photo somewhere the operator never asked
    // for, possibly over another file, so an overlong path is refused.
    if (output->size() > MaxOutputPathLength) {
      window_.AppendLog(kLogTooLong);
      ++ErrorCount;
      return Next::NextFile;
    }

    if (!sameNameAsked_ && FileExists(*output)) {
      if (window_.AskYesNo(std::string(SameNameQuestion) + "\n\n" + *output)) return StopRule();
      sameNameAsked_ = true;
    }

    if (SaveJpegFile(state_, window_, *output) != 0) return Problem(kAskSave + *output, kLogSave);

    ++SavedCount;
    const auto count = static_cast<std::int64_t>(list_.size());
    const int percent = static_cast<int>((static_cast<std::int64_t>(i) * 100 + 100) / count);
    window_.SetProgress(percent);
    char status[256];
    std::snprintf(status, sizeof status,
                  "処理中...　%3d%%     %5d / %5d  エラー %4d   スキップ  %4d", percent,
                  static_cast<int>(i + 1), static_cast<int>(count), ErrorCount, SkipCount);
    window_.SetStatusText(status);
    return Next::NextFile;
  }

  // A stop question: Yes stops the run, No logs the outcome and counts an error.
  Next Problem(const std::string& question, const char* logLine) {
    if (window_.AskYesNo(question)) return StopRule();
    window_.AppendLog(logLine);
    ++ErrorCount;
    return Next::NextFile;
  }

  Next StopRule() {
    state_.CancelRequested = true;
    window_.AppendLog(kStopLine);
    return Next::Stop;
  }

  RunState& state_;
  Window& window_;
  const LongShort target_;
  const PathList& list_;
  bool sameNameAsked_ = false;
};

std::string FormatSummary(bool stopped, std::int32_t saved, std::int32_t errors,
                          std::int32_t skipped) {
  const std::string_view opening = stopped ? StoppedSummaryOpening : FinishedSummaryOpening;
  char text[256];
  std::snprintf(text, sizeof text, "%.*s保存ファイル数 %4d  エラー %4d   スキップ  %4d",
                static_cast<int>(opening.size()), opening.data(), saved, errors, skipped);
  return text;
}

}  // namespace

std::optional<std::string> MapOutputPath(const std::string& inputPath,
                                         const std::string& inputFolder,
                                         const std::string& outputFolder,
                                         const PathSyntax& syntax) {
  if (inputFolder.size() > inputPath.size()) return std::nullopt;
  std::string output = WithSeparator(outputFolder, syntax);
  output.append(inputPath, inputFolder.size(), std::string::npos);
  return output;
}

RunOutcome RunBatch(RunState& state, Window& window) {
  RunOutcome outcome;

  const std::string inputFolder = window.InputFolderText();
  if (inputFolder.empty()) {
    window.ShowMessage(kNoInputFolder);
    return outcome;
  }
  if (window.OutputFolderText().empty()) {
    window.ShowMessage(kNoOutputFolder);
    return outcome;
  }
  if (!window.IsChecked(CheckBox::CheckBox1) && !window.IsChecked(CheckBox::CheckBox2)) {
    window.ShowMessage(kNothingToDo);
    return outcome;
  }

  const LongShort target = ResolveTargetSize(window.SelectedRadioButtons());

  PathList list;
  state.SubfolderCount = 0;
  state.FileCount = 0;
  state.JpegCount = 0;
  CollectFilesRecursive(inputFolder, list, state, window);
  if (state.JpegCount <= 0) {
    window.ShowMessage(kNoJpegFiles);
    return outcome;
  }

  outcome.started = true;
  window.SetRunning(true);
  state.CancelRequested = false;
  window.ClearLog();
  window.SetProgress(0);

  Run run(state, window, target, list);
  run.ProcessAll();

  outcome.stopped = state.CancelRequested;
  outcome.SavedCount = run.SavedCount;
  outcome.ErrorCount = run.ErrorCount;
  outcome.SkipCount = run.SkipCount;
  outcome.summary = FormatSummary(outcome.stopped, run.SavedCount, run.ErrorCount, run.SkipCount);
  window.ShowMessage(outcome.summary);
  window.SetStatusText(outcome.summary);
  window.SetRunning(false);
  return outcome;
}

}  // namespace quorvale
