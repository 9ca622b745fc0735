#include "cli/ConsolePort.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "cli/JsonLines.h"
#include "cli/TerminalText.h"
#include "messages/Messages.h"
#include "messages/Translate.h"

namespace quorvale::cli {
namespace {

// Carriage return, then erase to the end of the line.
constexpr const char* kEraseLine = "\r\033[K";

constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler stays installed only on the signals it was installed on. It
// may run on any thread; write and sigaction are async-signal-safe.
bool handled[NSIG] = {};
int wakeFd = -1;  // the write end of the watcher's pipe
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

constexpr char kInterrupt = 'i';
constexpr char kQuit = 'q';

extern "C" void OnInterrupt(int) {
  const int saved = errno;
  interrupted.store(true);
  [[maybe_unused]] const ssize_t written = ::write(wakeFd, &kInterrupt, 1);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  for (int signal : kCancelSignals) {
    if (handled[signal]) sigaction(signal, &fallback, nullptr);
  }
  errno = saved;
}

void InstallHandler() {
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

}  // namespace

InterruptWatcher::InterruptWatcher(std::stop_source source) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return;
  wakeFd = ends[1];
  thread_ = std::thread([read = ends[0], source]() mutable {
    char byte = 0;
    for (;;) {
      const ssize_t got = ::read(read, &byte, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || byte == kQuit) break;
      source.request_stop();
    }
    ::close(read);
  });
  InstallHandler();
  // A signal that was pending ran the handler as it was unblocked, above:
  // the run must not start before its stop is requested.
  if (interrupted.load()) source.request_stop();
}

InterruptWatcher::~InterruptWatcher() {
  if (!thread_.joinable()) return;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd, &kQuit, 1);
  thread_.join();
}

ConsolePort::ConsolePort(const CommandLine& line, std::FILE* out, std::FILE* err,
                         ConsoleSetup setup)
    : line_(line), out_(out), err_(err), setup_(std::move(setup)), start_(setup_.now()) {}

void ConsolePort::RunStarted(int) {
  start_ = setup_.now();
}

void ConsolePort::PhotoStarted(std::size_t, const std::string& path) {
  if (line_.json) return;
  WriteLine(out_, setup_.outIsTerminal ? EscapeControls(path, setup_.utf8) : path);
}

void ConsolePort::PhotoFinished(const PhotoReport& report) {
  if (line_.json) {
    WriteLine(out_, PhotoJson(report));
  } else {
    for (const std::string& line : PhotoLogLines(report)) {
      WriteLine(out_, setup_.outIsTerminal ? EscapeControls(line, setup_.utf8) : line);
    }
  }
  if (report_ != nullptr) report_->Add(ReportEntryFor(report, line_.choices.dryRun));
  if (report.outcome != PhotoOutcome::Saved) return;
  for (const std::string& warning : WarningTexts(report.warnings, Wording::Locale)) {
    WriteLine(err_, "quorvale-batch: " + ForStandardError(report.input) + ": " + warning);
  }
}

void ConsolePort::Notify(const RunNotice& notice) {
  RunNotice shown = notice;
  shown.path = ForStandardError(notice.path);
  shown.save.folder = ForStandardError(notice.save.folder);
  WriteLine(err_, NoticeText(shown));
}

bool ConsolePort::Ask(const RunQuestion& question) {
  bool yes;
  const char* answer;
  if (question.kind == Question::SameName) {
    yes = line_.choices.existing != ExistingOutput::Overwrite;
    answer = yes ? Translate("=> Yes, stop (no --overwrite)")
                 : Translate("=> No, replace (--overwrite)");
  } else {
    yes = line_.choices.stopOnProblem;
    answer = yes ? Translate("=> Yes, stop (--on-problem stop)")
                 : Translate("=> No, continue (--on-problem continue)");
  }
  WriteLine(err_, QuestionText({question.kind, ForStandardError(question.path)}) + "\n" + answer);
  return yes;
}

void ConsolePort::Progress(const RunProgress& progress) {
  if (!setup_.errIsTerminal) return;
  status_ = ProgressText(progress);
  const int columns = setup_.columns ? setup_.columns() : 0;
  // The last column stays free, so that the line never wraps.
  const int room = (columns > 0 ? columns : 80) - 1 - DisplayWidth(status_);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(setup_.now() - start_);
  status_ += ProgressSuffix(elapsed, ProgressCount{progress.done, progress.total}, room);
  DrawStatusLine();
}

void ConsolePort::RunFinished(bool, const RunCounts&) {
  ClearStatusLine();
}

void ConsolePort::DecodeThreadsShort(int started, int wanted) {
  WriteLine(err_, Format(Translate("quorvale-batch: could only start %d of %d decode threads"),
                         started, wanted));
}

void ConsolePort::ScanFinished(const PassedOver& files) {
  for (const std::string& text : PassedOverTexts(files, LeftOut{}))
    WriteLine(err_, "quorvale-batch: " + text);
}

void ConsolePort::LeftOutOfRun(const LeftOut& leftOut) {
  LeftOut shown = leftOut;
  for (UnlistedFolder& folder : shown.unlisted) folder.path = ForStandardError(folder.path);
  for (EarlierOutput& folder : shown.earlierOutputs) folder.path = ForStandardError(folder.path);
  for (std::string& path : shown.unknownCrops) path = ForStandardError(path);
  for (const std::string& text : PassedOverTexts(PassedOver{}, shown)) {
    WriteLine(err_, "quorvale-batch: " + text);
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

std::string ConsolePort::ForStandardError(const std::string& path) const {
  return setup_.errIsTerminal ? EscapeControls(path, setup_.utf8) : path;
}

void ConsolePort::DrawStatusLine() {
  std::fputs(kEraseLine, err_);
  std::fwrite(status_.data(), 1, status_.size(), err_);
  std::fflush(err_);
  statusShown_ = true;
}

}  // namespace quorvale::cli
