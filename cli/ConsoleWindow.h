#pragma once

#include <csignal>
#include <cstdio>
#include <string>

#include "cli/CommandLine.h"
#include "imaging/RunState.h"
#include "platform/Window.h"

namespace quorvale::cli {

// Set by the SIGINT handler; ProcessMessages turns it into a Cancel.
extern volatile std::sig_atomic_t InterruptRequested;

// Makes the first Ctrl-C set InterruptRequested and puts the default action
// back, so that a second Ctrl-C ends the program as usual. SIGINT is
// unblocked, so one that arrived blocked is acted on; an ignored SIGINT
// (a background job) stays ignored.
void InstallInterruptHandler();

// The main window as quorvale-batch plays it. Standard output receives the
// log lines and nothing else (ClearLog prints nothing); questions, notices
// and errors go to standard error, the summary box excepted, since the
// caller prints the summary as the last line of standard output. Questions
// are answered from the options and the answer is echoed: the same-name
// question by --overwrite (No, replace) or its absence (Yes, stop), every
// other question by --on-problem. The status line is drawn on standard
// error only when that is a terminal, and cleared when the run goes idle.
class ConsoleWindow : public Window {
 public:
  ConsoleWindow(const CommandLine& line, RunState& state, std::FILE* out, std::FILE* err,
                bool statusLine);

  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void ProcessMessages() override;

  bool IsChecked(CheckBox box) override;
  RadioSelection SelectedRadioButtons() override;
  int Quality() override { return line_.quality; }
  std::string InputFolderText() override { return line_.inputFolder; }
  std::string OutputFolderText() override { return line_.outputFolder; }

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
  RunState& state_;
  std::FILE* out_;
  std::FILE* err_;
  const bool statusLine_;
  bool statusShown_ = false;
  std::string status_;
};

}  // namespace quorvale::cli
