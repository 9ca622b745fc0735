#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/RunOptions.h"
#include "imaging/SizeTable.h"

namespace quorvale {

// The notices of a run: OK boxes in the window.
enum class Notice {
  NoInputFolder,   // a check before the run
  NoOutputFolder,  // a check before the run
  NothingToDo,     // neither trim nor reduce: a check before the run
  SameFolder,      // the output folder is the input folder: a check before the run
  NoJpegFiles,     // the scan found nothing to do
  Cancelled,       // a cancel found at the top of a photo
  SaveFailed,      // why a photo could not be saved, before its question
  OutOfMemory,     // a photo ran out of memory; the run stops
  Unexpected,      // any other failure inside a photo; the run stops
  Summary,         // the counts at the end of a run
};

// The stop questions of a run: Yes stops it.
enum class Question {
  MissingFile,  // the listed photo is gone
  Unreadable,   // the photo cannot be decoded
  TrimFailed,   // the centre trim refused the photo
  BadName,      // the photo's path is shorter than the input folder text
  SameName,     // an output file of that name exists (asked once per run)
  SaveFailed,   // the output file cannot be written
};

// How one photo of a run ended.
enum class PhotoOutcome {
  Saved,
  SkippedSmall,     // at most 320 x 240 in a trimming run
  SkippedExisting,  // its output exists and the run skips existing outputs
  Missing,          // gone before its turn
  Unreadable,
  TrimFailed,
  BadName,
  NameTooLong,  // the output path is longer than 2047 bytes
  SaveFailed,
  Stopped,  // the run stopped at this photo (a cancel or a Yes)
};

// One photo's record, given once it is done, in the log's order.
struct PhotoReport {
  std::string input;
  std::string output;  // empty when no output path was made
  PhotoOutcome outcome = PhotoOutcome::Saved;
  std::vector<std::string> logLines;  // the log lines after the path line
  PixelSize decoded{0, 0};            // as turned upright, if it was; 0 x 0 when not decoded
  PixelSize crop{0, 0};               // the centred crop; the decoded size when not trimmed
  PixelSize saved{0, 0};              // 0 x 0 when not saved
  // Damage passed over in the decode, a declined high-quality reduction: one
  // English sentence each, for front ends that name them.
  std::vector<std::string> warnings;
  // A small JPEG of the photo as decoded (and turned upright), when the run
  // is asked for thumbnails; empty otherwise.
  std::vector<std::uint8_t> thumbnail{};
  PixelSize thumbnailSize{0, 0};
};

// What a run needs of its front end: the window, quorvale-batch, or a test.
// Texts are UTF-8 message texts or path bytes, unchanged; every notice and
// question carries its kind beside the exact text the window shows, so a
// front end without boxes can answer by kind.
class RunPort {
 public:
  virtual ~RunPort() = default;

  // The per-photo options as they stand now; asked once per photo.
  virtual PhotoOptions OptionsForPhoto() = 0;

  // A modal box with one OK button.
  virtual void Notify(Notice kind, const std::string& text) = 0;
  // A modal Yes/No box, Yes the default button. True when Yes was chosen.
  virtual bool Ask(Question kind, const std::string& text) = 0;
  // Handles pending window events; true when a cancel has been asked for
  // since the run started.
  virtual bool PollCancel() = 0;
  // True when a cancel has arrived that needs no event handling to be seen
  // (a signal). Asked while photos are decoded, possibly from other
  // threads, so it only reads flags.
  virtual bool CancelSignalled() const { return false; }

  // The log: the file list after a scan, the run's lines during a run.
  virtual void AppendLog(const std::string& line) = 0;
  virtual void ClearLog() = 0;
  // Replaces the whole status line and shows it at once.
  virtual void SetStatusText(const std::string& text) = 0;
  // Progress position, 0..100, after `done` of `total` photos; the status
  // text of that progress follows.
  virtual void SetProgress(int percent, int done, int total) = 0;
  // Running: Run disabled, Cancel enabled, progress shown, folder choice
  // off; a cancel asked for before is forgotten. Idle: the reverse.
  virtual void SetRunning(bool running) = 0;

  // A photo is done; by default nothing is made of it.
  virtual void PhotoDone(const PhotoReport&) {}
  // The system let only `started` of the `wanted` threads that decode
  // ahead start; the run goes on with those. By default nothing is said.
  virtual void DecodeThreadsShort(int /*started*/, int /*wanted*/) {}
};

}  // namespace quorvale
