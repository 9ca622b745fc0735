#include "cli/CommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "batch/CropFile.h"
#include "messages/Messages.h"
#include "messages/Report.h"
#include "messages/Translate.h"

namespace quorvale::cli {
namespace {

enum class Option {
  Size,
  Dpi,
  Reduce,
  HighQuality,
  Quality,
  Jobs,
  NoSubfolders,
  AllJpegNames,
  KeepSmall,
  NoTrim,
  OnProblem,
  Overwrite,
  Json,
  Existing,
  AutoOrient,
  KeepMetadata,
  WriteDpi,
  KeepTimes,
  LargePhotos,
  Report,
  DryRun,
  CropPosition,
  Crops,
  Fit,
  Shard,
  Help,
  Version,
  ListSizes,
};

struct LongOption {
  const char* name;
  Option option;
  bool takesValue;
};

constexpr LongOption kOptions[] = {
    {"--size", Option::Size, true},
    {"--dpi", Option::Dpi, true},
    {"--reduce", Option::Reduce, false},
    {"--high-quality", Option::HighQuality, false},
    {"--quality", Option::Quality, true},
    {"--jobs", Option::Jobs, true},
    {"--no-subfolders", Option::NoSubfolders, false},
    {"--all-jpeg-names", Option::AllJpegNames, false},
    {"--keep-small", Option::KeepSmall, false},
    {"--no-trim", Option::NoTrim, false},
    {"--on-problem", Option::OnProblem, true},
    {"--overwrite", Option::Overwrite, false},
    {"--json", Option::Json, false},
    {"--existing", Option::Existing, true},
    {"--auto-orient", Option::AutoOrient, false},
    {"--keep-metadata", Option::KeepMetadata, false},
    {"--write-dpi", Option::WriteDpi, false},
    {"--keep-times", Option::KeepTimes, false},
    {"--large-photos", Option::LargePhotos, false},
    {"--report", Option::Report, true},
    {"--dry-run", Option::DryRun, false},
    {"--crop-position", Option::CropPosition, true},
    {"--crops", Option::Crops, true},
    {"--fit", Option::Fit, true},
    {"--shard", Option::Shard, true},
    {"--help", Option::Help, false},
    {"--version", Option::Version, false},
    {"--list-sizes", Option::ListSizes, false},
};

const LongOption* FindOption(const std::string& name) {
  for (const LongOption& known : kOptions) {
    if (name == known.name) return &known;
  }
  return nullptr;
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// A plain decimal number of at most six digits: no sign, no blanks.
std::optional<int> ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

constexpr int MaxJobs = 64;

const SizePreset& DefaultSize() {
  for (const SizePreset& row : SizeTable()) {
    if (row.button == 1) return row;
  }
  return SizeTable().front();
}

std::string InvalidValue(const std::string& value, const char* option, const char* expected) {
  return Format(Translate("invalid value '%s' for %s (expected %s)"), value.c_str(), option,
                expected);
}

// Applies one option; an error text when its value is not acceptable.
std::string Apply(Option option, const std::string& value, CommandLine& line, bool& help,
                  bool& version, bool& listSizes) {
  switch (option) {
    case Option::Size:
      line.size = FindSize(value);
      if (line.size == nullptr) {
        return Format(Translate("unknown size '%s' for --size (see --list-sizes)"), value.c_str());
      }
      break;
    case Option::Dpi: {
      const std::optional<int> dpi = ParseNumber(value);
      const auto resolutions = PrintResolutions();
      if (!dpi || std::none_of(resolutions.begin(), resolutions.end(),
                               [&](const PrintResolution& r) { return r.dpi == *dpi; })) {
        return InvalidValue(value, "--dpi", Translate("150, 200, 300, 320 or 400"));
      }
      line.dpi = *dpi;
      break;
    }
    case Option::Jobs: {
      const std::optional<int> jobs = ParseNumber(value);
      if (!jobs || *jobs < 1 || *jobs > MaxJobs)
        return InvalidValue(value, "--jobs", Translate("1 to 64"));
      line.jobs = *jobs;
      break;
    }
    case Option::Quality: {
      const std::optional<int> quality = ParseNumber(value);
      if (!quality || *quality > 100)
        return InvalidValue(value, "--quality", Translate("0 to 100"));
      line.quality = *quality;
      break;
    }
    case Option::OnProblem:
      if (value == "continue") {
        line.stopOnProblem = false;
      } else if (value == "stop") {
        line.stopOnProblem = true;
      } else {
        return InvalidValue(value, "--on-problem", Translate("continue or stop"));
      }
      break;
    case Option::Reduce:
      line.reduce = true;
      break;
    case Option::HighQuality:
      line.highQuality = true;
      break;
    case Option::NoSubfolders:
      line.noSubfolders = true;
      break;
    case Option::AllJpegNames:
      line.allJpegNames = true;
      break;
    case Option::KeepSmall:
      line.keepSmall = true;
      break;
    case Option::NoTrim:
      line.noTrim = true;
      break;
    case Option::Overwrite:
      line.overwrite = true;
      line.skipExisting = false;
      break;
    case Option::Existing:
      if (value != "stop" && value != "overwrite" && value != "skip") {
        return InvalidValue(value, "--existing", Translate("stop, overwrite or skip"));
      }
      line.overwrite = value == "overwrite";
      line.skipExisting = value == "skip";
      break;
    case Option::AutoOrient:
      line.autoOrient = true;
      break;
    case Option::KeepMetadata:
      line.keepMetadata = true;
      break;
    case Option::WriteDpi:
      line.writeDpi = true;
      break;
    case Option::KeepTimes:
      line.keepTimes = true;
      break;
    case Option::LargePhotos:
      line.largePhotos = true;
      break;
    case Option::Report:
      if (value.empty()) return Translate("option --report needs a file name");
      line.reportPath = value;
      break;
    case Option::DryRun:
      line.dryRun = true;
      break;
    case Option::CropPosition: {
      const std::optional<double> position = ParseCropPosition(value);
      if (!position) {
        return InvalidValue(value, "--crop-position",
                            Translate("top, centre, bottom, left, right or a number from 0 to 1"));
      }
      line.cropPosition = *position;
      break;
    }
    case Option::Crops:
      if (value.empty()) return Translate("option --crops needs a file name");
      line.cropsPath = value;
      break;
    case Option::Fit:
      if (value != "trim" && value != "border") {
        return InvalidValue(value, "--fit", Translate("trim or border"));
      }
      line.fit = value == "border" ? Fit::Border : Fit::Trim;
      break;
    case Option::Shard: {
      // K/N: two plain numbers around one slash, 1 <= K <= N.
      const std::size_t slash = value.find('/');
      const std::optional<int> index =
          slash == std::string::npos ? std::nullopt : ParseNumber(value.substr(0, slash));
      const std::optional<int> count =
          slash == std::string::npos ? std::nullopt : ParseNumber(value.substr(slash + 1));
      if (!index || !count || *index < 1 || *index > *count) {
        return InvalidValue(value, "--shard", Translate("K/N with 1 <= K <= N"));
      }
      line.shard = {*index, *count};
      break;
    }
    case Option::Json:
      line.json = true;
      break;
    case Option::Help:
      help = true;
      break;
    case Option::Version:
      version = true;
      break;
    case Option::ListSizes:
      listSizes = true;
      break;
  }
  return std::string();
}

}  // namespace

const SizePreset* FindSize(const std::string& id) {
  for (const SizePreset& row : SizeTable()) {
    if (row.id != nullptr && EqualsIgnoringCase(id, row.id)) return &row;
  }
  return nullptr;
}

PhotoOptions PhotoOptionsFor(const CommandLine& line) {
  return {!line.noTrim, !line.keepSmall, line.reduce, line.highQuality, line.quality, line.fit};
}

RunOptions RunOptionsFor(const CommandLine& line) {
  RunOptions options;
  options.inputFolder = line.inputFolder;
  options.outputFolder = line.outputFolder;
  options.target = TargetSize(*line.size, line.dpi);
  options.subfolders = !line.noSubfolders;
  options.allJpegNames = line.allJpegNames;
  options.jobs = line.jobs;
  options.photo = PhotoOptionsFor(line);
  PrintOptions& print = options.print;
  print.autoOrient = line.autoOrient;
  print.keepMetadata = line.keepMetadata;
  // Fixed pixel sizes have no print resolution: they keep the 1:1 aspect.
  print.dpi = line.writeDpi && line.size->kind == SizeKind::Print ? line.dpi : 0;
  print.keepTimes = line.keepTimes;
  print.skipExisting = line.skipExisting;
  print.largePhotos = line.largePhotos;
  print.dryRun = line.dryRun;
  print.thumbnails = !line.reportPath.empty();
  options.crops.general = line.cropPosition;
  options.crops.byPath = line.crops;
  options.shard = line.shard;
  return options;
}

std::string CheckFolders(const CommandLine& line) {
  // An empty folder is the run's own first checks, with their notices.
  struct stat st {};
  if (!line.inputFolder.empty() &&
      (::stat(line.inputFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
    return Format(Translate("INPUT_FOLDER '%s' is not an existing folder"),
                  line.inputFolder.c_str());
  }
  if (!line.outputFolder.empty() && ::stat(line.outputFolder.c_str(), &st) == 0 &&
      !S_ISDIR(st.st_mode)) {
    return Format(Translate("OUTPUT_FOLDER '%s' exists and is not a folder"),
                  line.outputFolder.c_str());
  }
  return std::string();
}

std::string CheckReportPath(const CommandLine& line, const std::string& currentFolder) {
  if (line.reportPath.empty()) return std::string();
  const std::string& given = line.reportPath;
  const std::string absolute = given.front() == '/' ? given : currentFolder + "/" + given;
  const char* refused = nullptr;
  switch (given.back() == '/' ? ReportPlace::NotAFile
                              : CheckReportPlace(absolute, line.inputFolder, line.outputFolder)) {
    case ReportPlace::Safe:
      return std::string();
    case ReportPlace::NotAFile:
      refused = Translate("refusing to write the report '%s': it is not a regular file");
      break;
    case ReportPlace::InInput:
      refused = Translate("refusing to write the report '%s': it is inside INPUT_FOLDER");
      break;
    case ReportPlace::InOutput:
      refused = Translate("refusing to write the report '%s': it is inside OUTPUT_FOLDER");
      break;
  }
  if (refused != nullptr) return Format(refused, given.c_str());
  return std::string();
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  ParseResult result;
  CommandLine& line = result.commandLine;
  line.size = &DefaultSize();
  bool help = false;
  bool version = false;
  bool listSizes = false;
  bool optionsEnded = false;
  std::vector<std::string> folders;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      folders.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h") {
      help = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const LongOption* known = arg.starts_with("--") ? FindOption(name) : nullptr;
    if (known == nullptr) {
      result.error = Format(Translate("unknown option '%s' (see --help)"), name.c_str());
      return result;
    }
    std::string value;
    if (known->takesValue) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        result.error = Format(Translate("option %s needs a value"), name.c_str());
        return result;
      }
    } else if (equals != std::string::npos) {
      result.error = Format(Translate("option %s takes no value"), name.c_str());
      return result;
    }
    result.error = Apply(known->option, value, line, help, version, listSizes);
    if (!result.error.empty()) return result;
  }

  if (help) {
    line.action = Action::Help;
  } else if (version) {
    line.action = Action::Version;
  } else if (listSizes) {
    line.action = Action::ListSizes;
  } else if (folders.size() < 2) {
    result.error = folders.empty()
                       ? Translate("missing INPUT_FOLDER and OUTPUT_FOLDER (see --help)")
                       : Translate("missing OUTPUT_FOLDER (see --help)");
  } else if (folders.size() > 2) {
    result.error = Format(Translate("unexpected argument '%s' (see --help)"), folders[2].c_str());
  } else if (line.highQuality && !line.reduce && line.fit != Fit::Border) {
    result.error = Translate("option --high-quality needs --reduce");
  } else if (line.noTrim && line.fit == Fit::Border) {
    result.error = Translate("option --no-trim cannot be used with --fit border");
  } else if (line.noTrim && !line.reduce) {
    result.error = Translate("option --no-trim needs --reduce");
  } else {
    line.inputFolder = folders[0];
    line.outputFolder = folders[1];
  }
  return result;
}

std::string LoadCrops(CommandLine& line) {
  if (line.cropsPath.empty()) return std::string();
  const char* path = line.cropsPath.c_str();
  const std::optional<std::string> text = ReadCropFileText(line.cropsPath);
  if (!text) {
    const int error = errno;  // before the catalogue is opened
    return Format(Translate("cannot read --crops '%s': %s"), path, std::strerror(error));
  }

  CropFile crops = ParseCropFile(*text);
  if (!crops.error) {
    line.crops = std::move(crops.positions);
    return std::string();
  }
  const char* why = "";
  switch (crops.error->kind) {
    case CropFileError::ExpectedObject:
      why = Translate("expected a JSON object '{'");
      break;
    case CropFileError::ExpectedPath:
      why = Translate("expected a photo's path in double quotes");
      break;
    case CropFileError::ExpectedColon:
      why = Translate("expected ':' after the path");
      break;
    case CropFileError::ExpectedComma:
      why = Translate("expected ',' or '}'");
      break;
    case CropFileError::TrailingText:
      why = Translate("unexpected text after the object");
      break;
    case CropFileError::BadString:
      why = Translate("a control character, a bad escape or a missing closing quote in a string");
      break;
    case CropFileError::BadPosition:
      why = Translate(
          "a position is a number from 0 to 1 or \"top\", \"centre\", \"center\", "
          "\"bottom\", \"left\" or \"right\"");
      break;
    case CropFileError::DuplicatePath:
      why = Translate("the path is given twice");
      break;
  }
  return Format(Translate("--crops '%s' line %d: %s"), path, crops.error->line, why);
}

std::string AbsoluteFolder(const std::string& folder, const std::string& currentFolder,
                           bool trailingSeparator) {
  if (folder.empty()) return folder;
  const std::string full = folder.front() == '/' ? folder : currentFolder + "/" + folder;
  std::string tidy;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string_view part(full.data() + start, end - start);
    if (!part.empty() && part != ".") {
      tidy += '/';
      tidy += part;
    }
    start = end + 1;
  }
  if (tidy.empty() || trailingSeparator) tidy += '/';
  return tidy;
}

std::string HelpText() {
  // One text per paragraph, so that a change retranslates only its own.
  const char* const paragraphs[] = {
      Translate(R"(Usage: quorvale-batch [OPTION]... INPUT_FOLDER OUTPUT_FOLDER
)"),
      Translate(R"(Trims every .jpg photo under INPUT_FOLDER to the aspect of a print or pixel
size (about its centre unless told otherwise) or fits it inside that size
with a white border, optionally reduces it to that size (never enlarging),
and writes it as a new baseline JPEG at the same relative place under
OUTPUT_FOLDER, creating folders as needed.
)"),
      Translate(R"(Options:
  --size ID            target size, case-insensitive (default L);
                       --list-sizes shows every ID
  --dpi N              print resolution: 150, 200, 300, 320 or 400 (default 400);
                       fixed pixel sizes ignore it
  --reduce             also reduce each photo to the size (default: trim only)
  --high-quality       reduce by area averaging and sharpening (needs --reduce
                       or --fit border; default: plain nearest-neighbour
                       reduction)
  --quality N          JPEG quality 0 to 100 (default 90)
  --jobs N             decode up to N photos at once, ahead of the one being
                       finished (1 to 64; default: one per core); never more
                       than the cores whatever N, as each one more holds one
                       more decoded photo; 1 works strictly one photo after
                       another
  --no-subfolders      take only the photos directly in INPUT_FOLDER
                       (default: all subfolders too)
  --all-jpeg-names     take files ending in .jpeg, .jpe and .jfif too, each
                       output keeping its photo's name (default: .jpg alone;
                       the others passed over are counted on standard error)
  --keep-small         keep photos of at most 320x240 (default: a trimming run
                       skips them)
  --no-trim            do not trim to the aspect (needs --reduce; default: trim)
  --on-problem ACTION  when a photo cannot be read, trimmed or saved:
                       continue with the next photo (default) or stop the run
  --overwrite          replace existing output files (default: an existing
                       output file stops the run)
  --json               write JSON Lines to standard output instead of the
                       log: one object per photo, then one with the counts
  --existing ACTION    what an existing output file does: stop the run
                       (default), overwrite it (as --overwrite), or skip the
                       photo, so that running the same command again
                       finishes an interrupted run
  --auto-orient        turn each photo upright as its Exif orientation says
                       before the skip rule and the trim
  --keep-metadata      copy the Exif data (orientation 1 when turned, the
                       output's pixel size, no thumbnail) and the ICC colour
                       profile into each output
  --write-dpi          write the --dpi resolution into each output's JFIF
                       header (print sizes only; fixed pixel sizes keep 1:1)
  --keep-times         give each output the modification time of its photo
  --large-photos       trim and reduce photos whose crop is more than 6200
                       pixels on a side (default: their trim fails)
  --report FILE        write an HTML page with a thumbnail of every photo,
                       its crop, output size and outcome; FILE must be a
                       regular file or a new name outside both folders
  --dry-run            write nothing but the --report page: no folder, no
                       photo
  --crop-position POS  where the trim keeps its crop along the side it
                       shortens: top, centre (or center), bottom, left,
                       right, or a number from 0 (top or left) to 1 (bottom
                       or right) (default: centre)
  --crops FILE         a JSON object giving the position of photos by their
                       path under INPUT_FOLDER ({"sub/a.jpg": 0.2, "b.jpg":
                       "top"}); the other photos take --crop-position
  --fit MODE           trim to the size's aspect (default), or border: the
                       whole photo fitted inside the size (never enlarged)
                       and centred on a white canvas of exactly the size
  --shard K/N          take only part K of N of the photos (1 <= K <= N),
                       chosen by a hash of each photo's path under
                       INPUT_FOLDER; N runs, one per part, into one
                       OUTPUT_FOLDER make the outputs of one whole run,
                       each photo once (default: 1/1, every photo)
  --list-sizes         list the sizes with their IDs and exit
  -h, --help           show this help and exit
      --version        show the version and exit
)"),
      Translate(R"(A --crops file that is not such an object is refused, naming its line,
before anything is touched; a path in it that names no photo of the run is
named on standard error.
)"),
      Translate(R"(Both folders are made absolute against the current folder before the run;
INPUT_FOLDER is taken with a trailing '/', so INPUT_FOLDER/sub/a.jpg is
written to OUTPUT_FOLDER/sub/a.jpg.
)"),
      Translate(R"(Standard output has one line per photo (its path), a line for each problem
or skip, and the summary as the last line. Questions with the answer given,
notices and, on a terminal, the progress line go to standard error, and
so do the names of unlistable subfolders, of photos saved with damaged data
and of photos the high-quality reduction declined. Ctrl-C, SIGTERM or
SIGHUP stops the run after the photo in hand (one in the middle of a decode
or a high-quality reduction is not saved); a second one ends the program.
)"),
      Translate(R"(Exit status:
  0  the run finished with no error
  1  the run finished with errors, or was stopped
  2  the run did not start (usage error, a failed check, no JPEG files), or
     the --report page could not be written
)"),
      Translate(R"(Example:
  quorvale-batch --size 2L --dpi 300 --reduce --high-quality photos prints
)"),
  };
  std::string text;
  for (const char* paragraph : paragraphs) {
    text += (text.empty() ? "" : "\n") + std::string(paragraph);
  }
  return text;
}

std::string SizeListText(int dpi) {
  std::vector<const SizePreset*> rows;
  for (const SizePreset& row : SizeTable()) rows.push_back(&row);
  std::sort(rows.begin(), rows.end(),
            [](const SizePreset* a, const SizePreset* b) { return a->screenRow < b->screenRow; });

  std::size_t idWidth = 2;
  for (const SizePreset* row : rows) idWidth = std::max(idWidth, std::string(row->id).size());

  char line[512];
  std::snprintf(line, sizeof line, "%-*s  %-11s  %-5s  %s\n", static_cast<int>(idWidth), "ID",
                "L x S", "KIND", "CAPTION");
  std::string text = line;
  for (const SizePreset* row : rows) {
    const LongShort pair = TargetSize(*row, dpi);
    std::snprintf(line, sizeof line, "%-*s  %4d x %4d  %-5s  %s\n", static_cast<int>(idWidth),
                  row->id, pair.L, pair.S, row->kind == SizeKind::Print ? "print" : "fixed",
                  SizeCaption(*row));
    text += line;
  }
  return text +
         Format(Translate("Print sizes are shown at %d dpi (--dpi scales them); fixed sizes never "
                          "scale.\n"),
                dpi);
}

}  // namespace quorvale::cli
