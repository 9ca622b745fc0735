#pragma once

#include <optional>
#include <string>

#include "app/WindowSettings.h"
#include "batch/RunEvents.h"
#include "batch/RunOptions.h"
#include "geometry/SizeTable.h"
#include "messages/Report.h"

namespace quorvale {

// The run options the print settings give for the selected size and
// resolution buttons: those quorvale-batch gives for the same options. The
// dpi is written only for a print size, at the selected resolution (400
// when none is). A report asks for thumbnails.
PrintOptions PrintOptionsFor(const PrintSettings& settings, const RadioSelection& selected);

// What the print settings add to one run of the window, fixed at the press
// of Run: the run's print options, the answers given without a box, and the
// report page, which is written as the photos are done.
class PrintRun {
 public:
  PrintRun(const PrintSettings& settings, const RadioSelection& selected);
  PrintRun(const PrintRun&) = delete;
  PrintRun& operator=(const PrintRun&) = delete;

  const PrintOptions& Options() const { return options_; }

  // Creates the report page for a run of `run` when one is asked for. The
  // text of the box that refuses the run when the page would be written
  // into either folder's tree or over anything but a file, or cannot be
  // created (naming the path and the system's reason); empty otherwise.
  std::string OpenReport(const RunOptions& run);

  // The answer to `question` without a box: No (replace the file) to the
  // same-name question when existing outputs are overwritten, as
  // quorvale-batch's --overwrite answers it. nullopt: ask the operator.
  std::optional<bool> Answer(const RunQuestion& question) const;

  // The photo's card on the page; on the run's thread.
  void PhotoFinished(const PhotoReport& report);

  struct End {
    std::string url;    // the page to open in the browser; empty for none
    std::string error;  // a box's text when the page could not be written
  };
  // After the run: the summary ends the page.
  End Finish(const std::string& summary);

 private:
  PrintSettings settings_;
  RadioSelection selected_;
  PrintOptions options_;
  ReportWriter report_;
};

}  // namespace quorvale
