// quorvale-batch: the batch run of the main window, driven from the command
// line. See HelpText() for the options and exit statuses.

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
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
#include "platform/CodePage.h"

namespace {

constexpr int kFinishedClean = 0;
constexpr int kFinishedWithProblems = 1;
constexpr int kNotStarted = 2;

// The message may name a folder; on a terminal its control characters are
// shown escaped.
int Fail(const std::string& message) {
  const std::string shown =
      isatty(STDERR_FILENO) == 1
          ? quorvale::cli::EscapeControls(message, !quorvale::ActiveCodePageIsDoubleByte())
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

// The size and options of the run, for the report page's heading.
quorvale::ReportSettings ReportSettingsFor(const quorvale::cli::CommandLine& line) {
  using namespace quorvale;
  ReportSettings settings;
  settings.size = ReportSizeName(*line.size);
  const LongShort target = TargetSize(*line.size, line.dpi);
  settings.longSide = target.L;
  settings.shortSide = target.S;
  settings.dpi = line.size->kind == SizeKind::Print ? line.dpi : 0;
  settings.trim = !line.noTrim && line.fit != Fit::Border;
  settings.reduce = line.reduce;
  settings.highQuality = line.highQuality;
  settings.quality = line.quality;
  const std::pair<bool, const char*> flags[] = {
      {line.noSubfolders, "--no-subfolders"},
      {line.keepSmall, "--keep-small"},
      {line.autoOrient, "--auto-orient"},
      {line.keepMetadata, "--keep-metadata"},
      {line.writeDpi, "--write-dpi"},
      {line.keepTimes, "--keep-times"},
      {line.largePhotos, "--large-photos"},
      {line.skipExisting, "--existing skip"},
      {line.overwrite, "--overwrite"},
      {line.stopOnProblem, "--on-problem stop"},
      {line.dryRun, "--dry-run"},
  };
  if (line.fit == Fit::Border) settings.options.emplace_back("--fit border");
  if (line.cropPosition != 0.5) {
    settings.options.push_back(Format("--crop-position %g", line.cropPosition));
  }
  if (!line.cropsPath.empty()) settings.options.push_back("--crops " + line.cropsPath);
  for (const auto& [given, name] : flags) {
    if (given) settings.options.emplace_back(name);
  }
  return settings;
}

int Run(quorvale::cli::CommandLine& line) {
  using namespace quorvale;
  // The log shows absolute paths. Only a relative folder needs the current
  // folder, which may have been removed since the shell entered it.
  const auto relative = [](const std::string& folder) {
    return !folder.empty() && folder.front() != '/';
  };
  const bool needsCurrent =
      relative(line.inputFolder) || relative(line.outputFolder) || relative(line.reportPath);
  const std::string current = needsCurrent ? CurrentFolder() : std::string();
  if (needsCurrent && current.empty())
    return Fail(Translate("cannot determine the current folder"));
  line.inputFolder = cli::AbsoluteFolder(line.inputFolder, current, true);
  line.outputFolder = cli::AbsoluteFolder(line.outputFolder, current, false);
  if (const std::string refused = cli::CheckFolders(line); !refused.empty()) return Fail(refused);
  if (const std::string refused = cli::CheckReportPath(line, current); !refused.empty()) {
    return Fail(refused);
  }
  if (const std::string refused = cli::LoadCrops(line); !refused.empty()) return Fail(refused);

  cli::ConsoleSetup setup;
  setup.outIsTerminal = isatty(STDOUT_FILENO) == 1;
  setup.errIsTerminal = isatty(STDERR_FILENO) == 1;
  setup.utf8 = !ActiveCodePageIsDoubleByte();
  setup.columns = [] {
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? static_cast<int>(size.ws_col) : 0;
  };
  cli::ConsolePort port(line, stdout, stderr, std::move(setup));
  // The page is started before the run, so that a name that cannot be
  // written stops it before any photo is touched.
  ReportWriter report;
  if (!line.reportPath.empty()) {
    const std::string title = line.dryRun
                                  ? Format(Translate("Quorvale: %s → %s (dry run)"),
                                           line.inputFolder.c_str(), line.outputFolder.c_str())
                                  : "Quorvale: " + line.inputFolder + " → " + line.outputFolder;
    if (!report.Open(line.reportPath, title, ReportSettingsFor(line))) {
      const int error = errno;  // before the catalogue is opened
      return Fail(Format(Translate("cannot write the report '%s': %s"), line.reportPath.c_str(),
                         std::strerror(error)));
    }
    port.WriteReportTo(&report);
  }
  std::stop_source stop;
  RunOutcome outcome;
  {
    const cli::InterruptWatcher interrupts(stop);
    outcome = RunBatch(cli::RunOptionsFor(line), port, stop.get_token());
  }
  port.NameUnlistedFolders(outcome.unlistedFolders);
  port.NameUnknownCrops(outcome.unknownCrops);
  const std::string summary = SummaryText(outcome.stopped, outcome.counts);
  // The photos stay as saved, but a page that was asked for and is missing
  // is a failure a script must see.
  const bool reportFailed = report.IsOpen() && !report.Finish(summary);
  if (reportFailed) {
    const int error = errno;  // before the catalogue is opened
    std::fprintf(stderr, "quorvale-batch: %s\n",
                 Format(Translate("cannot write the report '%s': %s"), line.reportPath.c_str(),
                        std::strerror(error))
                     .c_str());
  }
  if (outcome.otherJpegNames > 0) {
    std::fprintf(stderr, "quorvale-batch: %s\n",
                 Format(TranslatePlural("%d file ending in .jpeg, .jpe or .jfif passed over "
                                        "(--all-jpeg-names takes it)",
                                        "%d files ending in .jpeg, .jpe or .jfif passed over "
                                        "(--all-jpeg-names takes them)",
                                        outcome.otherJpegNames),
                        static_cast<int>(outcome.otherJpegNames))
                     .c_str());
  }
  if (line.dryRun && outcome.started) {
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
  return outcome.stopped || outcome.counts.errors > 0 ? kFinishedWithProblems : kFinishedClean;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvale;
  InitActiveCodePage();
  // Only the messages: the log's numbers and the JSON stay as they are in
  // every locale.
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
      std::fputs(cli::SizeListText(line.dpi).c_str(), stdout);
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
