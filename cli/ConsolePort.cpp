#include "cli/ConsolePort.h"

#include <signal.h>

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "batch/BatchRun.h"
#include "cli/JsonLines.h"
#include "cli/TerminalText.h"

namespace quorvale::cli {
namespace {

// Carriage return, then erase to the end of the line.
constexpr const char* kEraseLine = "\r\033[K";

constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler stays installed only on the signals it was installed on;
// sigaction is async-signal-safe.
bool handled[NSIG] = {};

extern "C" void OnInterrupt(int) {
  InterruptRequested.store(true);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  for (int signal : kCancelSignals) {
    if (handled[signal]) sigaction(signal, &fallback, nullptr);
  }
}

}  // namespace

std::atomic<bool> InterruptRequested{false};

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : kCancelSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  sigset_t unblock;
  sigemptyset(&unblock);
  for (int signal : kCancelSignals) {
    // A shell starts background jobs with SIGINT ignored, nohup ignores
    // SIGHUP: such a signal stays ignored.
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    handled[signal] = true;
    sigaction(signal, &action, nullptr);
    sigaddset(&unblock, signal);
  }
  // A signal blocked by whoever started us (and pending since) becomes a
  // Cancel now rather than a kill later.
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
}

ConsolePort::ConsolePort(const CommandLine& line, std::FILE* out, std::FILE* err,
                         ConsoleSetup setup)
    : line_(line), out_(out), err_(err), setup_(std::move(setup)), start_(setup_.now()) {}

void ConsolePort::Notify(Notice kind, const std::string& text) {
  if (kind == Notice::Summary) return;
  WriteLine(err_, ForStandardError(text));
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
  WriteLine(err_, ForStandardError(text) + "\n" + answer);
  return yes;
}

void ConsolePort::AppendLog(const std::string& line) {
  // A photo's lines begin with its path; its report ends them.
  if (pathNext_) photo_ = line;
  pathNext_ = false;
  if (line_.json) return;
  WriteLine(out_, setup_.outIsTerminal ? EscapeControls(line, setup_.utf8) : line);
}

void ConsolePort::PhotoDone(const PhotoReport& report) {
  pathNext_ = true;
  if (line_.json) WriteLine(out_, PhotoJson(report));
  if (report_ != nullptr) report_->Add(ReportEntryFor(report, line_.dryRun));
  if (report.outcome != PhotoOutcome::Saved) return;
  for (const std::string& warning : report.warnings) {
    WriteLine(err_, ForStandardError("quorvale-batch: " + report.input + ": " + warning));
  }
}

void ConsolePort::SetStatusText(const std::string& text) {
  if (!setup_.errIsTerminal) return;
  status_ = text;
  // Only the status that follows a progress step gets the times.
  const std::optional<ProgressCount> count = std::exchange(counts_, std::nullopt);
  if (count) {
    const int columns = setup_.columns ? setup_.columns() : 0;
    // The last column stays free, so that the line never wraps.
    const int room = (columns > 0 ? columns : 80) - 1 - DisplayWidth(text);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(setup_.now() - start_);
    status_ += ProgressSuffix(elapsed, *count, room);
  }
  DrawStatusLine();
}

void ConsolePort::SetRunning(bool running) {
  if (running) {
    start_ = setup_.now();
    pathNext_ = true;
  } else {
    ClearStatusLine();
  }
}

void ConsolePort::NameUnlistedFolders(const UnlistedFolders& folders) {
  for (const UnlistedFolder& folder : folders) {
    WriteLine(err_, ForStandardError("quorvale-batch: cannot list the folder " + folder.path +
                                     ": " + std::strerror(folder.error)));
  }
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

std::string ConsolePort::ForStandardError(const std::string& text) const {
  if (!setup_.errIsTerminal) return text;
  // The texts name the photo, its output path or a folder on the way to it.
  std::vector<std::string> paths{photo_};
  if (const std::optional<std::string> output =
          MapOutputPath(photo_, line_.inputFolder, line_.outputFolder)) {
    for (std::size_t slash = output->find('/', 1); slash != std::string::npos;
         slash = output->find('/', slash + 1)) {
      paths.push_back(output->substr(0, slash));
    }
    paths.push_back(*output);
  }
  return EscapeControlsInPaths(text, paths, setup_.utf8);
}

void ConsolePort::DrawStatusLine() {
  std::fputs(kEraseLine, err_);
  std::fwrite(status_.data(), 1, status_.size(), err_);
  std::fflush(err_);
  statusShown_ = true;
}

}  // namespace quorvale::cli
