#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "batch/RunEvents.h"
#include "cli/CommandLine.h"
#include "cli/TerminalText.h"
#include "folders/FolderScan.h"
#include "messages/Report.h"

namespace quorvale::cli {

// While it lives, the first Ctrl-C (SIGINT), SIGTERM or SIGHUP requests a
// stop of `source`, as the Cancel button does, and puts the default action
// of all three back, so that a second one ends the program as usual. They
// are unblocked, so one that arrived blocked is acted on; one that is
// ignored (SIGINT in a background job, SIGHUP under nohup) stays ignored.
// The handler only writes to a pipe; a thread of the watcher's own turns
// that into the stop request, which is not safe to make from a handler.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::stop_source source);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  std::thread thread_;
};

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
// the log lines and nothing else, or with --json one JSON object per photo
// (PhotoJson) instead; questions, notices and errors go to standard error,
// the summary excepted, since the caller prints it as the last line of
// standard output. Questions are answered by their kind from the options
// and the answer is echoed: the same-name question by --overwrite (No,
// replace) or its absence (Yes, stop), every other question by
// --on-problem. The status line is drawn on standard error only when that
// is a terminal: the progress text followed by the elapsed time, the rate
// and the time left (ProgressSuffix); it is cleared when the run ends. A
// photo saved with warnings (damaged data passed over, a declined
// high-quality reduction) is named on standard error with each.
class ConsolePort : public RunListener {
 public:
  ConsolePort(const CommandLine& line, std::FILE* out, std::FILE* err, ConsoleSetup setup);

  // As the run's plan has them: the frame of a border in pixels.
  PhotoOptions OptionsForPhoto() override {
    PhotoOptions photo = line_.choices.photo;
    photo.margin = FrameFor(line_.choices);
    return photo;
  }
  void RunStarted(int total) override;
  void PhotoStarted(std::size_t index, const std::string& path) override;
  // The photo's log lines, or its JSON line with --json; its card in the
  // report when one is written; its warnings on standard error when it was
  // saved.
  void PhotoFinished(const PhotoReport& report) override;
  void Notify(const RunNotice& notice) override;
  bool Ask(const RunQuestion& question) override;
  void Progress(const RunProgress& progress) override;
  void RunFinished(bool stopped, const RunCounts& counts) override;
  void DecodeThreadsShort(int started, int wanted) override;
  // The files of other kinds the scan passed over, before the first photo.
  void ScanFinished(const PassedOver& files) override;

  // Each photo done from now on gets a card in `report`, an open page.
  void WriteReportTo(ReportWriter* report) { report_ = report; }

  // Names on standard error what the run left out: each folder the scan
  // could not list, with the system's reason, each earlier output passed
  // over with its photos, and the --crops paths that no photo has (the
  // first few, then their count).
  void LeftOutOfRun(const LeftOut& leftOut) override;

 private:
  // Writes `text` and a line end to `stream` without mixing it into the
  // status line, which is drawn again afterwards.
  void WriteLine(std::FILE* stream, const std::string& text);
  void DrawStatusLine();
  void ClearStatusLine();
  // A path as standard error shows it: on a terminal, its control
  // characters escaped.
  std::string ForStandardError(const std::string& path) const;

  const CommandLine& line_;
  std::FILE* out_;
  std::FILE* err_;
  const ConsoleSetup setup_;
  ReportWriter* report_ = nullptr;
  bool statusShown_ = false;
  std::string status_;  // with its progress suffix
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quorvale::cli
