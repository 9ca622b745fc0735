#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "batch/RunPort.h"
#include "cli/CommandLine.h"

namespace quorvale::cli {

// Set by the SIGINT handler; the run takes it as a Cancel.
extern std::atomic<bool> InterruptRequested;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// Makes the first Ctrl-C set InterruptRequested and puts the default action
// back, so that a second Ctrl-C ends the program as usual. SIGINT is
// unblocked, so one that arrived blocked is acted on; an ignored SIGINT
// (a background job) stays ignored.
void InstallInterruptHandler();

// The run's front end as quorvale-batch plays it. Standard output receives
// the log lines and nothing else (ClearLog prints nothing); questions,
// notices and errors go to standard error, the summary excepted, since the
// caller prints it as the last line of standard output. Questions are
// answered by their kind from the options and the answer is echoed: the
// same-name question by --overwrite (No, replace) or its absence (Yes,
// stop), every other question by --on-problem. The status line is drawn on
// standard error only when that is a terminal, and cleared when the run
// goes idle.
class ConsolePort : public RunPort {
 public:
  ConsolePort(const CommandLine& line, std::FILE* out, std::FILE* err, bool statusLine);

  PhotoOptions OptionsForPhoto() override { return PhotoOptionsFor(line_); }
  void Notify(Notice kind, const std::string& text) override;
  bool Ask(Question kind, const std::string& text) override;
  bool PollCancel() override { return InterruptRequested.load(); }
  bool CancelSignalled() const override { return InterruptRequested.load(); }

  void AppendLog(const std::string& line) override;
  void ClearLog() override {}
  void SetStatusText(const std::string& text) override;
  void SetProgress(int) override {}
  void SetRunning(bool running) override;

  // Removes the status line from the terminal, if one is drawn.
  void ClearStatusLine();

 private:
  // Writes `text` and a line end to `stream` without mixing it into the
  // status line, which is drawn again afterwards.
  void WriteLine(std::FILE* stream, const std::string& text);
  void DrawStatusLine();

  const CommandLine& line_;
  std::FILE* out_;
  std::FILE* err_;
  const bool statusLine_;
  bool statusShown_ = false;
  std::string status_;
};

}  // namespace quorvale::cli
