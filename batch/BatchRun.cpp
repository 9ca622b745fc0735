#include "batch/BatchRun.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string_view>
#include <thread>

#include "batch/DecodeAhead.h"
#include "batch/PhotoSteps.h"
#include "folders/FolderScan.h"
#include "folders/PathRules.h"
#include "imaging/JpegFile.h"
#include "imaging/Reduction.h"
#include "imaging/Thumbnail.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

constexpr const char* kNoInputFolder = "入力フォルダが指定されていません。";
constexpr const char* kNoOutputFolder = "出力フォルダが指定されていません。";
constexpr const char* kNothingToDo = "縦横比変更か解像度縮小のどちらか１つはチェックしてください。";
constexpr const char* kSameFolder = "出力フォルダに入力フォルダと同じフォルダは指定できません。";
constexpr const char* kNoJpegFiles = "入力フォルダにJPEGファイルが存在しません。";
constexpr const char* kCancelled = "中断しました。";
constexpr const char* kStopLine = "中断";

constexpr const char* kAskMissing = "入力フォルダにJPEGファイルが存在しません。中断しますか？\n\n";
constexpr const char* kAskUnreadable = "JPEGファイルを読み込めませんでした。中断しますか？\n\n";
constexpr const char* kAskTrim =
    "JPEGファイルのトリミングが実行出来ませんでした。中断しますか？\n\n";
constexpr const char* kAskBadName = "JPEGファイルのファイル名が不正です。中断しますか？\n\n";
constexpr const char* kAskSameName = "既に同名のJPEGファイルが存在します。中断しますか？\n\n";
constexpr const char* kAskSave = "JPEGファイルの保存が出来ませんでした。中断しますか？\n\n";

constexpr const char* kLogMissing = "JPEGファイルが存在しません";
constexpr const char* kLogUnreadable = "JPEGファイルを読み込めません";
constexpr const char* kLogSmall = "320px×240px以下なのでスキップ";
constexpr const char* kLogTrim = "トリミング失敗";
constexpr const char* kLogNotReduced = "元画像が指定サイズより小さいので縮小は行われません";
constexpr const char* kLogBadName = "ファイル名が不正";
constexpr const char* kLogTooLong = "ファイル名が長すぎます";
constexpr const char* kLogSave = "保存に失敗";
constexpr const char* kLogExists = "同名のJPEGファイルが存在するのでスキップ";

constexpr const char* kExifNotCopied = "Exif not copied: the photo's Exif block is malformed";
constexpr const char* kTimeNotKept = "modification time not kept: ";

constexpr const char* kNoSaveFolder = "保存先フォルダが指定されていません。";
constexpr const char* kCannotCreate = "保存先フォルダを作成出来ません。";

constexpr const char* kOutOfMemory = "メモリが不足したため、処理を中断しました。\n\n";
constexpr const char* kUnexpected = "予期しないエラーが発生したため、処理を中断しました。\n\n";

// The record's words for damage passed over and for a declined high-quality
// reduction; front ends without a log of their own (quorvale-batch) show
// them, the window's log does not.
std::string DamageWarning(const DecodeResult& decoded) {
  return "the JPEG data ended early or was corrupt (" + std::to_string(decoded.warnings) +
         (decoded.warnings == 1 ? " warning" : " warnings") + ", first: " + decoded.warning +
         "); the rows it left out are grey";
}

std::string DeclinedWarning(const std::string& reason) {
  return "the high-quality reduction declined, the plain one was used: " + reason;
}

// The box of a failed save: the stored text first, then the output path and
// the system's reason, so the operator can tell a full disk from a
// read-only folder.
std::string SaveFailureText(const SaveResult& saved, const std::string& path) {
  if (saved.code == -1) return kNoSaveFolder;
  std::string text = kCannotCreate;
  if (saved.code == -2) text += "\n" + saved.folder;
  text += "\n" + path;
  if (saved.error != 0) text += "\n" + std::string(std::strerror(saved.error));
  return text;
}

enum class Next { NextFile, Stop };

// Photos decoded at once: one per core unless told, and never more than the
// cores, where one more only holds one more decoded photo.
int Jobs(int jobs) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return jobs > 0 ? std::min(jobs, cores) : cores;
}

// One press of Run from the start of processing to the end of the loop.
class Run {
 public:
  Run(const RunOptions& options, RunPort& port, const PathList& list)
      : options_(options), port_(port), list_(list) {}

  // Every photo in turn; the work ahead is abandoned and joined before
  // this returns.
  void ProcessAll() {
    const int jobs = Jobs(options_.jobs);
    // A photo that an existing output will skip is not worth decoding ahead.
    DecodeAhead ahead(
        list_, jobs, pool_, [this] { return cancelFlag_.load() || port_.CancelSignalled(); },
        [this](const std::string& p) {
          return !options_.print.skipExisting || !ExistingOutput(p);
        });
    if (ahead.Workers() < jobs - 1) port_.DecodeThreadsShort(ahead.Workers(), jobs - 1);
    for (std::size_t i = 0; i < list_.size(); ++i) {
      // A reduced photo's memory serves the next reduction; a whole one's
      // goes to the next decode.
      if (releasedPhoto_) scratch_.Reduced = std::move(photo_);
      releasedPhoto_ = false;
      ahead.Turn(i, photo_);
      if (ProcessGuarded(i, ahead) == Next::Stop) break;
    }
  }

  bool Stopped() const { return cancelRequested_; }

  std::int32_t SavedCount = 0;
  std::int32_t ErrorCount = 0;
  std::int32_t SkipCount = 0;

 private:
  // A failure the steps do not report by a result (out of memory, or any
  // other exception from below) ends the run the way a Cancel would, so the
  // summary is still shown and the front end gets back to idle.
  Next ProcessGuarded(std::size_t i, DecodeAhead& ahead) {
    report_ = PhotoReport{};
    report_.input = list_[i];
    Next next;
    try {
      next = ProcessFile(i, ahead);
    } catch (const std::bad_alloc&) {
      port_.Notify(Notice::OutOfMemory, kOutOfMemory + list_[i]);
      next = StopRule();
    } catch (const std::exception& error) {
      port_.Notify(Notice::Unexpected, kUnexpected + list_[i] + "\n" + error.what());
      next = StopRule();
    }
    port_.PhotoDone(report_);
    return next;
  }

  Next ProcessFile(std::size_t i, DecodeAhead& ahead) {
    const std::string& p = list_[i];
    port_.AppendLog(p);
    if (PollCancel()) return CancelledAtTop();

    if (!FileExists(p)) {
      return Problem(Question::MissingFile, kAskMissing + p, kLogMissing, PhotoOutcome::Missing);
    }
    const PrintOptions& print = options_.print;
    if (print.skipExisting && SkippedExisting(p)) return Next::NextFile;

    const DecodeResult decoded = ahead.Take(i, photo_);
    if (decoded.cancelled) return CancelledAtTop();
    if (decoded.code != 0) {
      return Problem(Question::Unreadable, kAskUnreadable + p, kLogUnreadable,
                     PhotoOutcome::Unreadable);
    }
    if (decoded.warnings > 0) report_.warnings.push_back(DamageWarning(decoded));
    const JpegMetadata metadata = OrientPhoto(p, photo_, print);
    report_.decoded = {photo_.Width(), photo_.Height()};
    if (print.thumbnails) AttachThumbnail();
    PollCancel();

    const PhotoOptions options = port_.OptionsForPhoto();
    const PreparedPhoto prepared = PreparePhoto(
        photo_, scratch_, options, options_.target, [this] { return PollCancel(); },
        print.largePhotos ? MaxJpegSide : MaxPlaneSide);
    // The decoded photo's memory goes to the next decode while this photo is
    // finished and saved.
    if (prepared.reduced) ahead.Release(scratch_.Reduced);
    report_.crop = prepared.crop;
    switch (prepared.kind) {
      case PreparedPhoto::SkippedSmall:
        Log(kLogSmall);
        report_.outcome = PhotoOutcome::SkippedSmall;
        ++SkipCount;
        return Next::NextFile;
      case PreparedPhoto::TrimFailed:
        // The trim leaves no reason, so the question's reason line is empty.
        return Problem(Question::TrimFailed, kAskTrim + std::string("\n") + p, kLogTrim,
                       PhotoOutcome::TrimFailed);
      case PreparedPhoto::Cancelled:
        // The reduction's cancel already set the flag: no question, no count.
        Log(kStopLine);
        Log(prepared.reason);
        port_.SetStatusText(prepared.reason);
        report_.outcome = PhotoOutcome::Stopped;
        return Next::Stop;
      case PreparedPhoto::Ready:
        break;
    }
    releasedPhoto_ = prepared.reduced;
    if (prepared.tooSmall) Log(kLogNotReduced);
    if (!prepared.reason.empty()) report_.warnings.push_back(DeclinedWarning(prepared.reason));

    const std::optional<std::string> output =
        MapOutputPath(p, options_.inputFolder, options_.outputFolder);
    if (!output) {
      return Problem(Question::BadName, kAskBadName + p, kLogBadName, PhotoOutcome::BadName);
    }
    report_.output = *output;
    // A cut path would write the photo somewhere the operator never asked
    // for, possibly over another file, so an overlong path is refused.
    if (output->size() > MaxOutputPathLength) {
      Log(kLogTooLong);
      report_.outcome = PhotoOutcome::NameTooLong;
      ++ErrorCount;
      return Next::NextFile;
    }

    if (!sameNameAsked_ && FileExists(*output)) {
      if (port_.Ask(Question::SameName, kAskSameName + *output)) return StopRule();
      sameNameAsked_ = true;
    }

    const PixelSize size{photo_.Width(), photo_.Height()};
    if (!print.dryRun) {
      bool malformed = false;
      const std::vector<std::uint8_t> exif = OutputExif(metadata, print, size, malformed);
      if (malformed) report_.warnings.push_back(kExifNotCopied);
      JpegExtras extras{print.dpi, exif};
      if (print.keepMetadata) extras.icc = metadata.icc;
      const SaveResult saved = SaveJpegFile(photo_, *output, options.quality, extras);
      if (saved.code != 0) {
        port_.Notify(Notice::SaveFailed, SaveFailureText(saved, *output));
        return Problem(Question::SaveFailed, kAskSave + *output, kLogSave,
                       PhotoOutcome::SaveFailed);
      }
      if (print.keepTimes && !CopyModificationTime(p, *output)) {
        report_.warnings.push_back(kTimeNotKept + std::string(std::strerror(errno)));
      }
    }

    ++SavedCount;
    report_.saved = size;
    const auto count = static_cast<std::int64_t>(list_.size());
    const int percent = static_cast<int>((static_cast<std::int64_t>(i) * 100 + 100) / count);
    port_.SetProgress(percent, static_cast<int>(i + 1), static_cast<int>(count));
    char status[256];
    std::snprintf(status, sizeof status,
                  "処理中...　%3d%%     %5d / %5d  エラー %4d   スキップ  %4d", percent,
                  static_cast<int>(i + 1), static_cast<int>(count), ErrorCount, SkipCount);
    port_.SetStatusText(status);
    return Next::NextFile;
  }

  // With existing outputs skipped, a photo whose output is there is passed
  // over before it is decoded, so a run done again finishes the rest fast.
  // The output path of `p` when a file is there already. Asked by the
  // workers too, so it reads nothing that changes.
  std::optional<std::string> ExistingOutput(const std::string& p) const {
    std::optional<std::string> output =
        MapOutputPath(p, options_.inputFolder, options_.outputFolder);
    if (!output || output->size() > MaxOutputPathLength || !FileExists(*output)) {
      return std::nullopt;
    }
    return output;
  }

  bool SkippedExisting(const std::string& p) {
    const std::optional<std::string> output = ExistingOutput(p);
    if (!output) return false;
    report_.output = *output;
    Log(kLogExists);
    report_.outcome = PhotoOutcome::SkippedExisting;
    ++SkipCount;
    return true;
  }

  void AttachThumbnail() {
    std::optional<ThumbnailJpeg> thumbnail = MakeThumbnailJpeg(photo_);
    if (!thumbnail) return;
    report_.thumbnail = std::move(thumbnail->bytes);
    report_.thumbnailSize = {thumbnail->width, thumbnail->height};
  }

  // Pumps the front end's events; a cancel asked for there stays asked for.
  bool PollCancel() {
    if (port_.PollCancel()) cancelRequested_ = true;
    if (cancelRequested_) cancelFlag_ = true;
    return cancelRequested_;
  }

  void Log(const std::string& line) {
    port_.AppendLog(line);
    report_.logLines.push_back(line);
  }

  Next CancelledAtTop() {
    cancelRequested_ = true;
    port_.Notify(Notice::Cancelled, kCancelled);
    Log(kStopLine);
    report_.outcome = PhotoOutcome::Stopped;
    return Next::Stop;
  }

  // A stop question: Yes stops the run, No logs the outcome and counts an error.
  Next Problem(Question kind, const std::string& question, const char* logLine,
               PhotoOutcome outcome) {
    if (port_.Ask(kind, question)) return StopRule();
    Log(logLine);
    report_.outcome = outcome;
    ++ErrorCount;
    return Next::NextFile;
  }

  Next StopRule() {
    cancelRequested_ = true;
    Log(kStopLine);
    report_.outcome = PhotoOutcome::Stopped;
    return Next::Stop;
  }

  const RunOptions options_;  // a copy: nothing can change it under the run
  RunPort& port_;
  const PathList& list_;
  BitmapPool pool_{DecodeMemoryBudget()};  // the decoded photos' memory
  Bitmap photo_{10, 10};
  ReductionScratch scratch_;
  bool releasedPhoto_ = false;  // photo_ is a reduced photo, its decoded memory given back
  PhotoReport report_;
  bool sameNameAsked_ = false;
  bool cancelRequested_ = false;
  // What the decoder asks; set with cancelRequested_.
  std::atomic<bool> cancelFlag_{false};
};

// The first check of a run that fails: its notice and text.
std::optional<std::pair<Notice, const char*>> FailedCheck(const RunOptions& options) {
  if (options.inputFolder.empty()) return std::pair{Notice::NoInputFolder, kNoInputFolder};
  if (options.outputFolder.empty()) return std::pair{Notice::NoOutputFolder, kNoOutputFolder};
  if (!options.photo.trim && !options.photo.reduce) {
    return std::pair{Notice::NothingToDo, kNothingToDo};
  }
  // Saving into the folder the photos are read from would replace the
  // originals, however the two texts spell it.
  const std::optional<FolderId> input = IdentifyFolder(options.inputFolder);
  if (input && input == IdentifyFolder(options.outputFolder)) {
    return std::pair{Notice::SameFolder, kSameFolder};
  }
  return std::nullopt;
}

}  // namespace

std::string FormatSummary(bool stopped, std::int32_t saved, std::int32_t errors,
                          std::int32_t skipped) {
  char text[256];
  std::snprintf(text, sizeof text, "%s保存ファイル数 %4d  エラー %4d   スキップ  %4d",
                stopped ? "作業を中断しました。" : "作業が終了しました。", saved, errors, skipped);
  return text;
}

std::optional<std::string> MapOutputPath(const std::string& inputPath,
                                         const std::string& inputFolder,
                                         const std::string& outputFolder,
                                         const PathSyntax& syntax) {
  if (inputFolder.size() > inputPath.size()) return std::nullopt;
  std::string output = WithSeparator(outputFolder, syntax);
  output.append(inputPath, inputFolder.size(), std::string::npos);
  return output;
}

RunOutcome RunBatch(const RunOptions& options, RunPort& port) {
  RunOutcome outcome;
  if (const auto failed = FailedCheck(options)) {
    port.Notify(failed->first, failed->second);
    return outcome;
  }

  // An output folder inside the input tree holds earlier results: they are
  // neither listed nor counted.
  PathList list;
  ScanCounts counts;
  CollectFilesRecursive(options.inputFolder,
                        ScanRules{options.subfolders, IdentifyFolder(options.outputFolder)}, list,
                        counts, PathSyntax::Native(), &outcome.unlistedFolders);
  if (counts.JpegCount <= 0) {
    port.Notify(Notice::NoJpegFiles, kNoJpegFiles);
    return outcome;
  }

  outcome.started = true;
  port.SetRunning(true);
  port.ClearLog();
  port.SetProgress(0, 0, static_cast<int>(list.size()));

  Run run(options, port, list);
  run.ProcessAll();

  outcome.stopped = run.Stopped();
  outcome.SavedCount = run.SavedCount;
  outcome.ErrorCount = run.ErrorCount;
  outcome.SkipCount = run.SkipCount;
  outcome.summary = FormatSummary(outcome.stopped, run.SavedCount, run.ErrorCount, run.SkipCount);
  port.Notify(Notice::Summary, outcome.summary);
  port.SetStatusText(outcome.summary);
  port.SetRunning(false);
  return outcome;
}

}  // namespace quorvale
