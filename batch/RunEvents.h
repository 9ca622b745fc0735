#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/RunOptions.h"
#include "batch/SavePhoto.h"
#include "codec/JpegFile.h"
#include "folders/FolderScan.h"
#include "geometry/SizeTable.h"
#include "pixels/HighQuality.h"

namespace quorvale {

// What a run tells its front end, as data: the front ends word it (see
// messages/), so the window's boxes and log and quorvale-batch's output
// come from the same events. A run's events, in order: RunStarted; for each
// photo PhotoStarted, its notices and questions, PhotoFinished, and
// Progress when it was saved; RunFinished. A run that does not start sends
// one notice and nothing else.

// The notices of a run: OK boxes in the window.
enum class Notice {
  NoInputFolder,   // a check before the run
  NoOutputFolder,  // a check before the run
  NothingToDo,     // neither trim nor reduce: a check before the run
  SameFolder,      // the output folder is the input folder: a check before the run
  NoJpegFiles,     // the scan found nothing to do
  UnknownCrops,    // strict crop positions name photos the scan did not list: a check
                   // before the run
  Cancelled,       // a cancel found at the top of a photo
  SaveFailed,      // why a photo could not be saved, before its question
  OutOfMemory,     // a photo ran out of memory; the run stops
  Unexpected,      // any other failure inside a photo; the run stops
};

struct RunNotice {
  Notice kind = Notice::NoInputFolder;
  std::string path;    // the photo (or, for SaveFailed, its output path); empty before the run
  SaveResult save{};   // with SaveFailed
  std::string detail;  // with Unexpected: what failed
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

struct RunQuestion {
  Question kind = Question::MissingFile;
  std::string path;  // the photo, or its output path for SameName and SaveFailed
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
  InInputTree,  // the output would be written into the input tree (OutputInInputTree)
  SaveFailed,
  Stopped,  // the run stopped at this photo
};

// Why the run stopped at a photo.
enum class StopCause {
  Cancelled,    // a cancel found at the top of the photo or during its decode
  Answered,     // a question answered Yes
  InReduction,  // the high-quality reduction saw a cancel
  OutOfMemory,
  Unexpected,
};

// What was passed over in a photo that went on.
struct PhotoWarnings {
  int damage = 0;                                // warnings of corrupt or missing data (grey rows)
  std::string firstDamage;                       // the first of them, as libjpeg words it
  std::optional<HighQualityDecline> declined{};  // the plain reduction ran instead
  bool exifMalformed = false;                    // the Exif block was not copied
  int timeNotKept = 0;  // errno of a modification time that could not be given
  // The colour space of an ICC profile left out because it does not
  // describe the output's RGB data ("CMYK", "GRAY", "unreadable").
  std::string iccDropped;
  // Colours to be made sRGB, but the profile could not be read: left as they are.
  bool profileUnreadable = false;
  // The output name this photo would have had, which another photo's
  // output keeps; empty when it has its own.
  std::string sharedName;
};

// What a run left out or left as it was, though a choice would take it.
struct PassedOver {
  std::int32_t otherJpegNames = 0;  // ".jpeg", ".jpe", ".jfif" files (--all-jpeg-names)
  std::int32_t heifNames = 0;       // ".heic", ".heif" files (--all-photos)
  std::int32_t pngNames = 0;        // ".png" files (--all-photos)
  std::int32_t orientations = 0;    // photos turned by their Exif, not applied (--auto-orient)
  std::int32_t profiles = 0;        // photos of a non-sRGB RGB profile, kept (--colour srgb)
  friend bool operator==(const PassedOver&, const PassedOver&) = default;
};

// Where the date stamped on a photo came from.
enum class DateSource {
  NotAsked,  // no date stamp in this run
  Exif,      // DateTimeOriginal
  FileTime,  // the photo has none: its file's modification time, local time
  None,      // neither: no stamp
};

// One photo's record, given once it is done, in the log's order.
struct PhotoReport {
  std::size_t index = 0;
  std::string input;
  std::string output;  // empty when no output path was made
  PhotoOutcome outcome = PhotoOutcome::Saved;
  StopCause stop = StopCause::Cancelled;  // with Stopped
  bool notReduced = false;                // smaller than the box, so left unreduced
  PixelSize decoded{0, 0};                // as turned upright, if it was; 0 x 0 when not decoded
  PixelSize crop{0, 0};                   // the crop; the decoded size when not trimmed
  double position = 0.5;  // where the crop sits along the axis the trim shortens (TrimAt)
  // With a border: the picture's place on the canvas; 0 x 0 otherwise.
  PixelRect fitted{0, 0, 0, 0};
  PixelSize saved{0, 0};  // 0 x 0 when not saved
  int saveError = 0;      // with SaveFailed: the errno of the save (0: the encode failed)
  PhotoWarnings warnings;
  // A small JPEG of the photo as decoded (and turned upright), when the run
  // is asked for thumbnails; empty otherwise.
  std::vector<std::uint8_t> thumbnail{};
  PixelSize thumbnailSize{0, 0};
  DateSource dateSource = DateSource::NotAsked;
  std::string dateStamp{};  // the date as stamped (DateStampText); empty for none
};

// After a photo was saved: the progress position 0..100 and the counts.
struct RunProgress {
  int percent = 0;
  int done = 0;  // photos of the list worked through
  int total = 0;
  int errors = 0;
  int skipped = 0;
};

struct RunCounts {
  std::int32_t saved = 0;
  std::int32_t errors = 0;
  std::int32_t skipped = 0;
  friend bool operator==(const RunCounts&, const RunCounts&) = default;
};

// The crop keys named at most, in the order of the crop file's keys.
inline constexpr std::size_t MaxNamedUnknownCrops = 20;

// What a run leaves out though its options would take it, told before the
// first photo: folders of the input tree that could not be listed (their
// photos are in no count; a problem of the run), folders holding an earlier
// run's output, and crop positions for no photo of the scan.
struct LeftOut {
  UnlistedFolders unlisted;
  EarlierOutputs earlierOutputs;
  std::vector<std::string> unknownCrops;  // the first MaxNamedUnknownCrops of them
  std::size_t unknownCropCount = 0;       // all of them
  bool Empty() const { return unlisted.empty() && earlierOutputs.empty() && unknownCropCount == 0; }
};

// A run's front end: the window, quorvale-batch, or a test. Called on the
// thread that runs the batch; a front end that paints elsewhere hands the
// events over and, for Ask and Notify (and RunFinished), waits for the
// operator's answer.
class RunListener {
 public:
  virtual ~RunListener() = default;

  // The per-photo options as they stand now; asked once per photo, after
  // its decode. Answered from a snapshot the front end keeps current, with
  // no wait for another thread.
  virtual PhotoOptions OptionsForPhoto() = 0;

  // The checks passed and `total` photos are listed.
  virtual void RunStarted(int total) = 0;
  // After RunStarted, before the first photo, when anything was left out.
  virtual void LeftOutOfRun(const LeftOut& /*leftOut*/) {}
  virtual void PhotoStarted(std::size_t index, const std::string& path) = 0;
  virtual void PhotoFinished(const PhotoReport& report) = 0;
  // A modal OK box.
  virtual void Notify(const RunNotice& notice) = 0;
  // A modal Yes/No box, Yes the default button. True when Yes was chosen:
  // the run stops.
  virtual bool Ask(const RunQuestion& question) = 0;
  virtual void Progress(const RunProgress& progress) = 0;
  virtual void RunFinished(bool stopped, const RunCounts& counts) = 0;
  // The scan is done: the files of the kinds it passed over (the counts of
  // photos are 0 here). Before RunStarted, or the notice that there is
  // nothing to do.
  virtual void ScanFinished(const PassedOver& /*files*/) {}
  // The system let only `started` of the `wanted` threads that decode ahead
  // start; the run goes on with those.
  virtual void DecodeThreadsShort(int /*started*/, int /*wanted*/) {}
};

}  // namespace quorvale
