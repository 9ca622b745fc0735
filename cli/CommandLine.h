#pragma once

#include <map>
#include <string>
#include <vector>

#include "messages/RunChoices.h"

namespace quorvale::cli {

enum class Action { Run, Help, Version, ListSizes };

// What the command line asks for: the run's choices (the folders as given)
// and how its results are written. The defaults are the main window's
// initial control states; an existing output stops the run unless
// --existing says otherwise.
struct CommandLine {
  Action action = Action::Run;
  RunChoices choices;
  bool json = false;  // JSON Lines on standard output instead of the log
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

// Reads the --crops file of `line` into its crop positions. One line naming the
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
