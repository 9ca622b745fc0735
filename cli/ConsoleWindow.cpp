#include "cli/ConsoleWindow.h"

#include <signal.h>

#include <string_view>

#include "batch/BatchRun.h"

namespace quorvale::cli {
namespace {

// Carriage return, then erase to the end of the line.
constexpr const char* kEraseLine = "\r\033[K";

extern "C" void OnInterrupt(int) {
  InterruptRequested = 1;
}

}  // namespace

volatile std::sig_atomic_t InterruptRequested = 0;

void InstallInterruptHandler() {
  // A shell starts background jobs with SIGINT ignored; they stay deaf to it.
  struct sigaction previous {};
  if (sigaction(SIGINT, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  // A SIGINT blocked by whoever started us (and pending since) becomes a
  // Cancel now rather than a kill later.
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  sigprocmask(SIG_UNBLOCK, &interrupt, nullptr);
}

ConsoleWindow::ConsoleWindow(const CommandLine& line, RunState& state, std::FILE* out,
                             std::FILE* err, bool statusLine)
    : line_(line), state_(state), out_(out), err_(err), statusLine_(statusLine) {}

void ConsoleWindow::ShowMessage(const std::string& text) {
  const std::string_view view(text);
  if (view.starts_with(FinishedSummaryOpening) || view.starts_with(StoppedSummaryOpening)) return;
  WriteLine(err_, text);
}

bool ConsoleWindow::AskYesNo(const std::string& text) {
  bool yes;
  const char* answer;
  if (std::string_view(text).starts_with(SameNameQuestion)) {
    yes = !line_.overwrite;
    answer = yes ? "=> Yes, stop (no --overwrite)" : "=> No, replace (--overwrite)";
  } else {
    yes = line_.stopOnProblem;
    answer = yes ? "=> Yes, stop (--on-problem stop)" : "=> No, continue (--on-problem continue)";
  }
  WriteLine(err_, text + "\n" + answer);
  return yes;
}

void ConsoleWindow::ProcessMessages() {
  if (InterruptRequested) state_.CancelRequested = true;
}

bool ConsoleWindow::IsChecked(CheckBox box) {
  switch (box) {
    case CheckBox::CheckBox1:
      return !line_.noTrim;
    case CheckBox::CheckBox2:
      return line_.reduce;
    case CheckBox::CheckBox3:
      return line_.highQuality;
    case CheckBox::CheckBox4:
      return line_.noSubfolders;
    case CheckBox::CheckBox5:
      return !line_.keepSmall;
  }
  return false;
}

RadioSelection ConsoleWindow::SelectedRadioButtons() {
  return SelectionFor(*line_.size, line_.dpi);
}

void ConsoleWindow::AppendLog(const std::string& line) {
  WriteLine(out_, line);
}

void ConsoleWindow::SetStatusText(const std::string& text) {
  if (!statusLine_) return;
  status_ = text;
  DrawStatusLine();
}

void ConsoleWindow::SetRunning(bool running) {
  if (!running) ClearStatusLine();
}

void ConsoleWindow::ClearStatusLine() {
  if (!statusShown_) return;
  std::fputs(kEraseLine, err_);
  std::fflush(err_);
  statusShown_ = false;
}

void ConsoleWindow::WriteLine(std::FILE* stream, const std::string& text) {
  const bool redraw = statusShown_;
  ClearStatusLine();
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
  if (redraw) DrawStatusLine();
}

void ConsoleWindow::DrawStatusLine() {
  std::fputs(kEraseLine, err_);
  std::fwrite(status_.data(), 1, status_.size(), err_);
  std::fflush(err_);
  statusShown_ = true;
}

}  // namespace quorvale::cli
