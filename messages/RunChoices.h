#pragma once

#include <string>

#include "batch/RunOptions.h"
#include "geometry/SizeTable.h"
#include "messages/Report.h"

namespace quorvale {

// What becomes of an output file that exists already: the same-name
// question is put to the front end (the window asks the operator,
// quorvale-batch stops the run), the file is replaced without asking, or it
// is left and its photo counted as skipped.
enum class ExistingOutput { Ask, Overwrite, Skip };

// What the operator chose for one run, filled alike by the window and by
// quorvale-batch; each option as the command line names it.
struct RunChoices {
  std::string inputFolder;  // path bytes
  std::string outputFolder;
  SizeChoice size;
  bool subfolders = true;     // not --no-subfolders
  bool allJpegNames = false;  // --all-jpeg-names
  bool allPhotos = false;     // --all-photos
  int jobs = 0;               // --jobs; 0: one per core
  PhotoOptions photo;         // as they stand when the run starts
  // --margin: the frame of a border, millimetres at a print size and
  // pixels at a fixed one; PlanRun puts it into `photo` in pixels.
  int margin = DefaultFrameAmount;
  bool autoOrient = false;
  bool keepMetadata = false;
  bool colourSrgb = false;  // --colour srgb
  bool writeDpi = false;    // for a print size only; a fixed size keeps 1:1
  bool keepTimes = false;
  bool dateStamp = false;  // --date-stamp
  DateFormat dateFormat = DateFormat::Kiosk;
  bool shopNames = false;  // --shop-names
  bool largePhotos = false;
  bool dryRun = false;
  bool stopOnProblem = false;  // --on-problem stop: the per-photo questions answered Yes unasked
  ExistingOutput existing = ExistingOutput::Ask;
  std::string reportPath;  // the report page; empty for none
  CropPositions crops;
  std::string cropsFile;  // the --crops file `crops.byPath` was read from; empty for none
  Shard shard;
  friend bool operator==(const RunChoices&, const RunChoices&) = default;
};

// A run as its choices make it: its options, and the title and heading of
// its report page (whether or not one is written).
struct RunPlan {
  RunOptions options;
  std::string reportTitle;
  ReportSettings report;
};

// The one way from a front end's choices to a run. The heading names the
// options beyond the size and the photo options as quorvale-batch spells
// them; positions chosen in the window's preview are "--crops" alone.
RunPlan PlanRun(const RunChoices& choices);

// The frame of a border in pixels (PhotoOptions::margin) for the size and
// the margin chosen; 0 when the photo is trimmed.
int FrameFor(const RunChoices& choices);

}  // namespace quorvale
