#pragma once

#include <map>
#include <string>
#include <vector>

#include "batch/RunOptions.h"
#include "geometry/SizeTable.h"

namespace quorvale::cli {

enum class Action { Run, Help, Version, ListSizes };

// What the command line asks for. The defaults are the main window's
// initial control states.
struct CommandLine {
  Action action = Action::Run;
  const SizePreset* size = nullptr;  // the L row unless --size names another
  int dpi = 400;
  bool reduce = false;         // CheckBox2
  bool highQuality = false;    // CheckBox3
  bool noSubfolders = false;   // CheckBox4
  bool allJpegNames = false;   // --all-jpeg-names
  bool keepSmall = false;      // CheckBox5 off
  bool noTrim = false;         // CheckBox1 off
  int quality = 90;            // TrackBar1
  int jobs = 0;                // --jobs; 0: one per core
  bool stopOnProblem = false;  // --on-problem stop
  bool overwrite = false;      // --overwrite, --existing overwrite
  bool skipExisting = false;   // --existing skip
  bool json = false;           // JSON Lines on standard output instead of the log
  bool autoOrient = false;
  bool keepMetadata = false;
  bool writeDpi = false;
  bool keepTimes = false;
  bool largePhotos = false;
  bool dryRun = false;
  std::string reportPath;               // --report; empty for none
  double cropPosition = 0.5;            // --crop-position
  std::string cropsPath;                // --crops; empty for none
  std::map<std::string, double> crops;  // read from `cropsPath` by LoadCrops
  Fit fit = Fit::Trim;                  // --fit
  Shard shard;                          // --shard
  std::string inputFolder;              // as given
  std::string outputFolder;             // as given
};

struct ParseResult {
  CommandLine commandLine;
  std::string error;  // one line naming the option; empty when the line is valid
};

// Parses the arguments after the program name. Long options take their
// value as the next argument or after '='; "--" ends the options. An invalid
// option or value, a missing value, or (for a run) other than two folder
// arguments gives an error and nothing else.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The size row whose id is `id`, compared without regard to ASCII case;
// nullptr when there is none.
const SizePreset* FindSize(const std::string& id);

// The run's options, and the per-photo ones alone, for a parsed line.
RunOptions RunOptionsFor(const CommandLine& line);
PhotoOptions PhotoOptionsFor(const CommandLine& line);

// What the run's own checks would refuse later, refused before it starts:
// an input that is not an existing folder, an output that exists and is not
// a folder. One line naming the folder, or empty when both are fine. The
// folders are those of `line`, made absolute.
std::string CheckFolders(const CommandLine& line);

// What would make the --report page a danger to the photos, refused before
// anything is touched: a path that is, or resolves to (through links in
// its folders), the input folder's tree (an input photo above all) or the
// output folder's, or that names anything but a regular file (a folder, a
// device, a link). One line naming it, or empty when it is fine or there is
// no report. The folders are those of `line`, made absolute; a relative
// report path is taken against `currentFolder`.
std::string CheckReportPath(const CommandLine& line, const std::string& currentFolder);

// Reads the --crops file of `line` into its `crops`. One line naming the
// file and the line of the file that is wrong, or empty when all is well
// (or there is no such file to read).
std::string LoadCrops(CommandLine& line);

// The absolute, tidied form of a folder argument: relative to `currentFolder`
// unless it starts with '/', with empty and "." components dropped (".." is
// kept: it may pass through a link). With `trailingSeparator` the result
// ends in '/'; otherwise only the root does. An empty argument stays empty.
std::string AbsoluteFolder(const std::string& folder, const std::string& currentFolder,
                           bool trailingSeparator);

// The --help text and the --list-sizes table.
std::string HelpText();
std::string SizeListText(int dpi);

}  // namespace quorvale::cli
