#include "cli/ConsolePort.h"

#include <signal.h>

namespace quorvale::cli {
namespace {

// Carriage return, then erase to the end of the line.
constexpr const char* kEraseLine = "\r\033[K";

extern "C" void OnInterrupt(int) {
  InterruptRequested.store(true);
}

}  // namespace

std::atomic<bool> InterruptRequested{false};

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

ConsolePort::ConsolePort(const CommandLine& line, std::FILE* out, std::FILE* err, bool statusLine)
    : line_(line), out_(out), err_(err), statusLine_(statusLine) {}

void ConsolePort::Notify(Notice kind, const std::string& text) {
  if (kind == Notice::Summary) return;
  WriteLine(err_, text);
}

bool ConsolePort::Ask(Question kind, const std::string& text) {
  bool yes;
  const char* answer;
  if (kind == Question::SameName) {
    yes = !line_.overwrite;
    answer = yes ? "=> Yes, stop (no --overwrite)" : "=> No, replace (--overwrite)";
  } else {
    yes = line_.stopOnProblem;
    answer = yes ? "=> Yes, stop (--on-problem stop)" : "=> No, continue (--on-problem continue)";
  }
  WriteLine(err_, text + "\n" + answer);
  return yes;
}

void ConsolePort::AppendLog(const std::string& line) {
  WriteLine(out_, line);
}

void ConsolePort::SetStatusText(const std::string& text) {
  if (!statusLine_) return;
  status_ = text;
  DrawStatusLine();
}

void ConsolePort::SetRunning(bool running) {
  if (!running) ClearStatusLine();
}

void ConsolePort::ClearStatusLine() {
  if (!statusShown_) return;
  std::fputs(kEraseLine, err_);
  std::fflush(err_);
  statusShown_ = false;
}

void ConsolePort::WriteLine(std::FILE* stream, const std::string& text) {
  const bool redraw = statusShown_;
  ClearStatusLine();
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
  if (redraw) DrawStatusLine();
}

void ConsolePort::DrawStatusLine() {
  std::fputs(kEraseLine, err_);
  std::fwrite(status_.data(), 1, status_.size(), err_);
  std::fflush(err_);
  statusShown_ = true;
}

}  // namespace quorvale::cli
