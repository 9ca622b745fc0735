#pragma once

#include <map>
#include <optional>
#include <string>

#include "app/WindowSettings.h"
#include "batch/RunEvents.h"
#include "messages/Report.h"
#include "messages/RunChoices.h"

namespace quorvale {

// The choices of a run of the window: its controls, the print settings of
// its menu and the crop positions of its preview, as quorvale-batch takes
// the same options. A report is asked for only with a path.
RunChoices WindowRunChoices(const WindowControls& controls, const PrintSettings& print,
                            const std::map<std::string, double>& crops);

// What the print settings add to one run of the window, fixed at the press
// of Run: the answers given without a box, and the report page, which is
// written as the photos are done.
class PrintRun {
 public:
  PrintRun(const PrintSettings& settings, const RunPlan& plan);
  PrintRun(const PrintRun&) = delete;
  PrintRun& operator=(const PrintRun&) = delete;

  // Creates the report page when the plan asks for one. The text of the
  // box that refuses the run when the page would be written into either
  // folder's tree or over anything but a file, or cannot be created
  // (naming the path and the system's reason); empty otherwise.
  std::string OpenReport();

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
  RunPlan plan_;
  ReportWriter report_;
};

}  // namespace quorvale
