// quorvale-batch: the batch run of the main window, driven from the command
// line. See HelpText() for the options and exit statuses.

#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "batch/BatchRun.h"
#include "cli/CommandLine.h"
#include "cli/ConsolePort.h"
#include "cli/JsonLines.h"
#include "cli/TerminalText.h"
#include "messages/Messages.h"
#include "messages/Translate.h"

namespace {

constexpr int kFinishedClean = 0;
constexpr int kFinishedWithProblems = 1;
constexpr int kNotStarted = 2;

// Whether the terminal's text is UTF-8 as far as the escapes go: the
// locale's codeset is UTF-8 or has one byte a character. In a codeset of
// several bytes a character (GBK, Big5, ...) the bytes of a C1 control in
// UTF-8 may be one character, and are left alone. Read after
// setlocale(LC_CTYPE, "").
bool TerminalTextIsUtf8() {
  return MB_CUR_MAX == 1 || std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// The message may name a folder; on a terminal its control characters are
// shown escaped.
int Fail(const std::string& message) {
  const std::string shown = isatty(STDERR_FILENO) == 1
                                ? quorvale::cli::EscapeControls(message, TerminalTextIsUtf8())
                                : message;
  std::fprintf(stderr, "quorvale-batch: %s\n", shown.c_str());
  return kNotStarted;
}

// The process's current folder; empty when it cannot be had (removed).
std::string CurrentFolder() {
  std::string buffer(PATH_MAX, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

int Run(quorvale::cli::CommandLine& line) {
  using namespace quorvale;
  RunChoices& choices = line.choices;
  // The log shows absolute paths. Only a relative folder needs the current
  // folder, which may have been removed since the shell entered it.
  const auto relative = [](const std::string& folder) {
    return !folder.empty() && folder.front() != '/';
  };
  const bool needsCurrent = relative(choices.inputFolder) || relative(choices.outputFolder) ||
                            relative(choices.reportPath);
  const std::string current = needsCurrent ? CurrentFolder() : std::string();
  if (needsCurrent && current.empty())
    return Fail(Translate("cannot determine the current folder"));
  choices.inputFolder = cli::AbsoluteFolder(choices.inputFolder, current, true);
  choices.outputFolder = cli::AbsoluteFolder(choices.outputFolder, current, false);
  if (const std::string refused = cli::CheckFolders(line); !refused.empty()) return Fail(refused);
  if (const std::string refused = cli::CheckReportPath(line, current); !refused.empty()) {
    return Fail(refused);
  }
  if (const std::string refused = cli::LoadCrops(line); !refused.empty()) return Fail(refused);
  const RunPlan plan = PlanRun(choices);

  cli::ConsoleSetup setup;
  setup.outIsTerminal = isatty(STDOUT_FILENO) == 1;
  setup.errIsTerminal = isatty(STDERR_FILENO) == 1;
  setup.utf8 = TerminalTextIsUtf8();
  setup.columns = [] {
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? static_cast<int>(size.ws_col) : 0;
  };
  cli::ConsolePort port(line, stdout, stderr, std::move(setup));
  // The page is started before the run, so that a name that cannot be
  // written stops it before any photo is touched.
  ReportWriter report;
  if (!choices.reportPath.empty()) {
    if (!report.Open(choices.reportPath, plan.reportTitle, plan.report)) {
      const int error = errno;  // before the catalogue is opened
      return Fail(Format(Translate("cannot write the report '%s': %s"), choices.reportPath.c_str(),
                         std::strerror(error)));
    }
    port.WriteReportTo(&report);
  }
  std::stop_source stop;
  RunOutcome outcome;
  {
    const cli::InterruptWatcher interrupts(stop);
    outcome = RunBatch(plan.options, port, stop.get_token());
  }
  // A run that started named them before its first photo.
  if (!outcome.started) port.LeftOutOfRun(outcome.leftOut);
  const std::string summary = SummaryText(outcome.stopped, outcome.counts);
  // The photos stay as saved, but a page that was asked for and is missing
  // is a failure a script must see.
  const bool reportFailed = report.IsOpen() && !report.Finish(summary);
  if (reportFailed) {
    const int error = errno;  // before the catalogue is opened
    std::fprintf(stderr, "quorvale-batch: %s\n",
                 Format(Translate("cannot write the report '%s': %s"), choices.reportPath.c_str(),
                        std::strerror(error))
                     .c_str());
  }
  // The files passed over were named before the first photo; the photos
  // left as they were are known once all were read.
  PassedOver leftAsIs;
  leftAsIs.orientations = outcome.passedOver.orientations;
  leftAsIs.profiles = outcome.passedOver.profiles;
  for (const std::string& text : PassedOverTexts(leftAsIs, LeftOut{})) {
    std::fprintf(stderr, "quorvale-batch: %s\n", text.c_str());
  }
  if (choices.dryRun && outcome.started) {
    std::fprintf(stderr, "quorvale-batch: %s\n",
                 Translate("--dry-run: no folder and no photo were written"));
  }
  if (!outcome.started) return kNotStarted;

  const std::string last = line.json ? cli::SummaryJson(outcome) : summary;
  std::printf("%s\n", last.c_str());
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "quorvale-batch: %s\n", Translate("cannot write to standard output"));
    return kFinishedWithProblems;
  }
  if (reportFailed) return kNotStarted;
  // A folder that could not be read held photos the run never saw.
  return outcome.stopped || outcome.counts.errors > 0 || !outcome.leftOut.unlisted.empty()
             ? kFinishedWithProblems
             : kFinishedClean;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvale;
  // The terminal's codeset (see TerminalTextIsUtf8), which the messages are
  // given in, and the messages themselves are the locale's; the log's
  // numbers and the JSON stay as they are in every locale.
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_MESSAGES, "");

  cli::ParseResult parsed = cli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) return Fail(parsed.error);

  cli::CommandLine& line = parsed.commandLine;
  switch (line.action) {
    case cli::Action::Help:
      std::fputs(cli::HelpText().c_str(), stdout);
      return 0;
    case cli::Action::Version:
      std::printf("quorvale-batch (Quorvale) %s\n", QUORVALE_VERSION);
      return 0;
    case cli::Action::ListSizes:
      std::fputs(cli::SizeListText(line.choices.size.dpi).c_str(), stdout);
      return 0;
    case cli::Action::Run:
      break;
  }

  try {
    return Run(line);
  } catch (const std::bad_alloc&) {
    return Fail(Translate("out of memory"));
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
}
