#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "batch/Report.h"
#include "batch/RunPort.h"
#include "cli/CommandLine.h"
#include "cli/TerminalText.h"
#include "folders/FolderScan.h"

namespace quorvale::cli {

// Set by the signal handler; the run takes it as a Cancel.
extern std::atomic<bool> InterruptRequested;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// Makes the first Ctrl-C (SIGINT), SIGTERM or SIGHUP set InterruptRequested
// and puts the default action of all three back, so that a second one ends
// the program as usual. They are unblocked, so one that arrived blocked is
// acted on; one that is ignored (SIGINT in a background job, SIGHUP under
// nohup) stays ignored.
void InstallInterruptHandler();

// What quorvale-batch's two streams are attached to, and the clock of the
// progress line. The defaults are those of two files.
struct ConsoleSetup {
  bool outIsTerminal = false;  // the log's control characters are shown escaped
  bool errIsTerminal = false;  // the progress line is drawn; paths in questions and
                               // notices are shown escaped
  bool utf8 = true;            // the locale's texts are UTF-8 (see EscapeControls)
  std::function<std::chrono::steady_clock::time_point()> now = std::chrono::steady_clock::now;
  std::function<int()> columns;  // standard error's width; empty or 0 when unknown (80)
};

// The run's front end as quorvale-batch plays it. Standard output receives
// the log lines and nothing else (ClearLog prints nothing), or with --json
// one JSON object per photo (PhotoJson) instead; questions, notices and
// errors go to standard error, the summary excepted, since the caller
// prints it as the last line of standard output. Questions are answered by
// their kind from the options and the answer is echoed: the same-name
// question by --overwrite (No, replace) or its absence (Yes, stop), every
// other question by --on-problem. The status line is drawn on standard
// error only when that is a terminal, a progress status followed by the
// elapsed time, the rate and the time left (ProgressSuffix), and it is
// cleared when the run goes idle. A photo saved with warnings (damaged data
// passed over, a declined high-quality reduction) is named on standard
// error with each.
class ConsolePort : public RunPort {
 public:
  ConsolePort(const CommandLine& line, std::FILE* out, std::FILE* err, ConsoleSetup setup);

  PhotoOptions OptionsForPhoto() override { return PhotoOptionsFor(line_); }
  void Notify(Notice kind, const std::string& text) override;
  bool Ask(Question kind, const std::string& text) override;
  bool PollCancel() override { return InterruptRequested.load(); }
  bool CancelSignalled() const override { return InterruptRequested.load(); }

  void AppendLog(const std::string& line) override;
  void ClearLog() override {}
  void SetStatusText(const std::string& text) override;
  // Keeps the counts for the progress line that the status text draws next.
  void SetProgress(int, int done, int total) override { counts_ = ProgressCount{done, total}; }
  void SetRunning(bool running) override;
  // The photo's JSON line with --json, its card in the report when one is
  // written, and its warnings on standard error when it was saved.
  void PhotoDone(const PhotoReport& report) override;
  void DecodeThreadsShort(int started, int wanted) override {
    WriteLine(err_, "quorvale-batch: could only start " + std::to_string(started) + " of " +
                        std::to_string(wanted) + " decode threads");
  }

  // Each photo done from now on gets a card in `report`, an open page.
  void WriteReportTo(ReportWriter* report) { report_ = report; }

  // Names on standard error each folder the scan could not list, with the
  // system's reason: the window's log has no line for them, and their
  // photos would otherwise be missed unnoticed.
  void NameUnlistedFolders(const UnlistedFolders& folders);

  // Removes the status line from the terminal, if one is drawn.
  void ClearStatusLine();

 private:
  // Writes `text` and a line end to `stream` without mixing it into the
  // status line, which is drawn again afterwards.
  void WriteLine(std::FILE* stream, const std::string& text);
  void DrawStatusLine();
  // A question's or notice's text as standard error shows it: on a
  // terminal, with the control characters of the paths of the photo in
  // hand escaped.
  std::string ForStandardError(const std::string& text) const;

  const CommandLine& line_;
  std::FILE* out_;
  std::FILE* err_;
  const ConsoleSetup setup_;
  ReportWriter* report_ = nullptr;
  bool statusShown_ = false;
  std::string status_;                   // with its progress suffix
  std::optional<ProgressCount> counts_;  // for the next status text
  std::chrono::steady_clock::time_point start_;
  bool pathNext_ = true;  // the next log line is a photo's path
  std::string photo_;     // the path of the photo in hand
};

}  // namespace quorvale::cli
