#include "cli/CommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "batch/CropFile.h"
#include "messages/Messages.h"
#include "messages/Report.h"
#include "messages/Translate.h"

namespace quorvale::cli {
namespace {

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

// An option's value as read: what it sets, or the line that refuses it.
template <typename T>
struct Read {
  std::optional<T> value;
  std::string refusal;
};

template <typename T>
Read<T> Refused(const std::string& value, const char* option, const char* expected) {
  return {std::nullopt, Format(Translate("invalid value '%s' for %s (expected %s)"), value.c_str(),
                               option, expected)};
}

// Stores what was read in `into`; the refusal, empty when there is none.
template <typename T, typename U>
std::string Take(Read<T> read, U& into) {
  if (read.value) into = *read.value;
  return read.refusal;
}

Read<std::size_t> ReadSize(const std::string& value) {
  if (const auto row = FindSize(value)) return {row, {}};
  return {std::nullopt,
          Format(Translate("unknown size '%s' for --size (see --list-sizes)"), value.c_str())};
}

Read<DateFormat> ReadDateFormat(const std::string& value) {
  if (const auto format = FindDateFormat(value)) return {format, {}};
  return Refused<DateFormat>(value, "--date-format", "'YY M D, YYYY.MM.DD, YYYY年M月D日");
}

Read<int> ReadDpi(const std::string& value) {
  const std::optional<int> dpi = ParseNumber(value);
  const auto resolutions = PrintResolutions();
  if (dpi && std::find(resolutions.begin(), resolutions.end(), *dpi) != resolutions.end()) {
    return {dpi, {}};
  }
  return Refused<int>(value, "--dpi", Translate("150, 200, 300, 320 or 400"));
}

Read<int> ReadNumber(const std::string& value, int least, int most, const char* option,
                     const char* expected) {
  const std::optional<int> number = ParseNumber(value);
  if (number && *number >= least && *number <= most) return {number, {}};
  return Refused<int>(value, option, expected);
}

// One of the words an option takes, and what each means.
template <typename T, std::size_t N>
Read<T> ReadWord(const std::string& value, const std::pair<const char*, T> (&words)[N],
                 const char* option, const char* expected) {
  for (const auto& [word, meaning] : words) {
    if (value == word) return {meaning, {}};
  }
  return Refused<T>(value, option, expected);
}

Read<std::string> ReadFileName(const std::string& value, const char* missing) {
  if (value.empty()) return {std::nullopt, missing};
  return {value, {}};
}

Read<double> ReadCropPosition(const std::string& value) {
  if (const std::optional<double> position = ParseCropPosition(value)) return {position, {}};
  return Refused<double>(value, "--crop-position",
                         Translate("top, centre, bottom, left, right or a number from 0 to 1"));
}

// K/N: two plain numbers around one slash, 1 <= K <= N.
Read<Shard> ReadShard(const std::string& value) {
  const std::size_t slash = value.find('/');
  const std::optional<int> index =
      slash == std::string::npos ? std::nullopt : ParseNumber(value.substr(0, slash));
  const std::optional<int> count =
      slash == std::string::npos ? std::nullopt : ParseNumber(value.substr(slash + 1));
  if (index && count && *index >= 1 && *index <= *count) return {Shard{*index, *count}, {}};
  return Refused<Shard>(value, "--shard", Translate("K/N with 1 <= K <= N"));
}

constexpr std::pair<const char*, bool> OnProblemWords[] = {{"continue", false}, {"stop", true}};
constexpr std::pair<const char*, ExistingOutput> ExistingWords[] = {
    {"stop", ExistingOutput::Ask},
    {"overwrite", ExistingOutput::Overwrite},
    {"skip", ExistingOutput::Skip},
};
constexpr std::pair<const char*, bool> ColourWords[] = {{"keep", false}, {"srgb", true}};
constexpr std::pair<const char*, Fit> FitWords[] = {{"trim", Fit::Trim}, {"border", Fit::Border}};

// What --help, --version and --list-sizes ask for, which wins over a run
// wherever they stand.
struct Requests {
  bool help = false;
  bool version = false;
  bool listSizes = false;
};

// An option without a value sets its choice; one with a value reads it
// into its choice, or gives the line that refuses it.
using SetFlag = void (*)(CommandLine&, Requests&);
using SetValue = std::string (*)(const std::string&, RunChoices&);

struct LongOption {
  const char* name;
  SetFlag flag;    // for an option without a value
  SetValue value;  // for an option with one
};

constexpr LongOption kOptions[] = {
    {"--size", nullptr,
     [](const std::string& v, RunChoices& c) { return Take(ReadSize(v), c.size.preset); }},
    {"--dpi", nullptr,
     [](const std::string& v, RunChoices& c) { return Take(ReadDpi(v), c.size.dpi); }},
    {"--reduce", [](CommandLine& l, Requests&) { l.choices.photo.reduce = true; }, nullptr},
    {"--high-quality", [](CommandLine& l, Requests&) { l.choices.photo.highQuality = true; },
     nullptr},
    {"--quality", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadNumber(v, 0, 100, "--quality", Translate("0 to 100")), c.photo.quality);
     }},
    {"--jobs", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadNumber(v, 1, MaxJobs, "--jobs", Translate("1 to 64")), c.jobs);
     }},
    {"--no-subfolders", [](CommandLine& l, Requests&) { l.choices.subfolders = false; }, nullptr},
    {"--all-jpeg-names", [](CommandLine& l, Requests&) { l.choices.allJpegNames = true; }, nullptr},
    {"--all-photos", [](CommandLine& l, Requests&) { l.choices.allPhotos = true; }, nullptr},
    {"--phone",
     [](CommandLine& l, Requests&) {
       l.choices.allPhotos = true;
       l.choices.autoOrient = true;
       l.choices.colourSrgb = true;
     },
     nullptr},
    {"--keep-small", [](CommandLine& l, Requests&) { l.choices.photo.skipSmall = false; }, nullptr},
    {"--no-trim", [](CommandLine& l, Requests&) { l.choices.photo.trim = false; }, nullptr},
    {"--on-problem", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadWord(v, OnProblemWords, "--on-problem", Translate("continue or stop")),
                   c.stopOnProblem);
     }},
    {"--overwrite",
     [](CommandLine& l, Requests&) { l.choices.existing = ExistingOutput::Overwrite; }, nullptr},
    {"--json", [](CommandLine& l, Requests&) { l.json = true; }, nullptr},
    {"--existing", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadWord(v, ExistingWords, "--existing", Translate("stop, overwrite or skip")),
                   c.existing);
     }},
    {"--auto-orient", [](CommandLine& l, Requests&) { l.choices.autoOrient = true; }, nullptr},
    {"--keep-metadata", [](CommandLine& l, Requests&) { l.choices.keepMetadata = true; }, nullptr},
    {"--colour", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadWord(v, ColourWords, "--colour", Translate("keep or srgb")), c.colourSrgb);
     }},
    {"--write-dpi", [](CommandLine& l, Requests&) { l.choices.writeDpi = true; }, nullptr},
    {"--keep-times", [](CommandLine& l, Requests&) { l.choices.keepTimes = true; }, nullptr},
    {"--large-photos", [](CommandLine& l, Requests&) { l.choices.largePhotos = true; }, nullptr},
    {"--date-stamp", [](CommandLine& l, Requests&) { l.choices.dateStamp = true; }, nullptr},
    {"--shop-names", [](CommandLine& l, Requests&) { l.choices.shopNames = true; }, nullptr},
    {"--date-format", nullptr,
     [](const std::string& v, RunChoices& c) {
       c.dateStamp = true;
       return Take(ReadDateFormat(v), c.dateFormat);
     }},
    {"--report", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadFileName(v, Translate("option --report needs a file name")), c.reportPath);
     }},
    {"--dry-run", [](CommandLine& l, Requests&) { l.choices.dryRun = true; }, nullptr},
    {"--crop-position", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadCropPosition(v), c.crops.general);
     }},
    {"--crops", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadFileName(v, Translate("option --crops needs a file name")), c.cropsFile);
     }},
    {"--strict-crops", [](CommandLine& l, Requests&) { l.choices.crops.strict = true; }, nullptr},
    {"--fit", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadWord(v, FitWords, "--fit", Translate("trim or border")), c.photo.fit);
     }},
    {"--margin", nullptr,
     [](const std::string& v, RunChoices& c) {
       return Take(ReadNumber(v, 0, 100, "--margin", Translate("0 to 100")), c.margin);
     }},
    {"--shard", nullptr,
     [](const std::string& v, RunChoices& c) { return Take(ReadShard(v), c.shard); }},
    {"--help", [](CommandLine&, Requests& r) { r.help = true; }, nullptr},
    {"--version", [](CommandLine&, Requests& r) { r.version = true; }, nullptr},
    {"--list-sizes", [](CommandLine&, Requests& r) { r.listSizes = true; }, nullptr},
};

const LongOption* FindOption(const std::string& name) {
  for (const LongOption& known : kOptions) {
    if (name == known.name) return &known;
  }
  return nullptr;
}

// The options of `args` applied to `line` in their order, and the other
// arguments gathered in `folders`. The line that refuses the first option
// that is wrong; empty when all are fine.
std::string ApplyOptions(const std::vector<std::string>& args, CommandLine& line,
                         Requests& requests, std::vector<std::string>& folders) {
  bool optionsEnded = false;
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
      requests.help = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const LongOption* known = arg.starts_with("--") ? FindOption(name) : nullptr;
    if (known == nullptr)
      return Format(Translate("unknown option '%s' (see --help)"), name.c_str());
    if (known->flag != nullptr) {
      if (equals != std::string::npos) {
        return Format(Translate("option %s takes no value"), name.c_str());
      }
      known->flag(line, requests);
      continue;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return Format(Translate("option %s needs a value"), name.c_str());
    }
    if (std::string refused = known->value(value, line.choices); !refused.empty()) return refused;
  }
  return std::string();
}

// What a run asks of its folder arguments and of options that only work
// together. The line that refuses it; empty when it can run.
std::string CheckRun(const RunChoices& choices, const std::vector<std::string>& folders) {
  const PhotoOptions& photo = choices.photo;
  if (folders.empty()) return Translate("missing INPUT_FOLDER and OUTPUT_FOLDER (see --help)");
  if (folders.size() < 2) return Translate("missing OUTPUT_FOLDER (see --help)");
  if (folders.size() > 2) {
    return Format(Translate("unexpected argument '%s' (see --help)"), folders[2].c_str());
  }
  if (photo.highQuality && !photo.reduce && photo.fit != Fit::Border) {
    return Translate("option --high-quality needs --reduce");
  }
  if (!photo.trim && photo.fit == Fit::Border) {
    return Translate("option --no-trim cannot be used with --fit border");
  }
  if (!photo.trim && !photo.reduce) return Translate("option --no-trim needs --reduce");
  return std::string();
}

}  // namespace

std::string CheckFolders(const CommandLine& line) {
  // An empty folder is the run's own first checks, with their notices.
  struct stat st {};
  if (!line.choices.inputFolder.empty() &&
      (::stat(line.choices.inputFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
    return Format(Translate("INPUT_FOLDER '%s' is not an existing folder"),
                  line.choices.inputFolder.c_str());
  }
  if (!line.choices.outputFolder.empty() && ::stat(line.choices.outputFolder.c_str(), &st) == 0 &&
      !S_ISDIR(st.st_mode)) {
    return Format(Translate("OUTPUT_FOLDER '%s' exists and is not a folder"),
                  line.choices.outputFolder.c_str());
  }
  return std::string();
}

std::string CheckReportPath(const CommandLine& line, const std::string& currentFolder) {
  if (line.choices.reportPath.empty()) return std::string();
  const std::string& given = line.choices.reportPath;
  const std::string absolute = given.front() == '/' ? given : currentFolder + "/" + given;
  const char* refused = nullptr;
  struct stat report {};
  struct stat crops {};
  // The crop positions would be replaced by the page.
  if (!line.choices.cropsFile.empty() && ::stat(absolute.c_str(), &report) == 0 &&
      ::stat(line.choices.cropsFile.c_str(), &crops) == 0 && report.st_dev == crops.st_dev &&
      report.st_ino == crops.st_ino) {
    return Format(Translate("refusing to write the report '%s': it is the --crops file"),
                  given.c_str());
  }
  switch (given.back() == '/'
              ? ReportPlace::NotAFile
              : CheckReportPlace(absolute, line.choices.inputFolder, line.choices.outputFolder)) {
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
  Requests requests;
  std::vector<std::string> folders;
  result.error = ApplyOptions(args, line, requests, folders);
  if (!result.error.empty()) return result;
  if (requests.help) {
    line.action = Action::Help;
  } else if (requests.version) {
    line.action = Action::Version;
  } else if (requests.listSizes) {
    line.action = Action::ListSizes;
  } else {
    result.error = CheckRun(line.choices, folders);
    if (result.error.empty()) {
      line.choices.inputFolder = folders[0];
      line.choices.outputFolder = folders[1];
    }
  }
  return result;
}

std::string LoadCrops(CommandLine& line) {
  if (line.choices.cropsFile.empty()) return std::string();
  const char* path = line.choices.cropsFile.c_str();
  const std::optional<std::string> text = ReadCropFileText(line.choices.cropsFile);
  if (!text) {
    const int error = errno;  // before the catalogue is opened
    return Format(Translate("cannot read --crops '%s': %s"), path, std::strerror(error));
  }

  CropFile crops = ParseCropFile(*text, line.choices.inputFolder);
  if (!crops.error) {
    line.choices.crops.byPath = std::move(crops.positions);
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
                       --list-sizes shows every ID; a size's name as it
                       shows it (はがき) and KG (hagaki) or LD (dsc) too
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
  --all-photos         take HEIC, HEIF and PNG photos and files ending in
                       .jpeg, .jpe and .jfif too, each read as its first
                       bytes say and saved as a JPEG named .jpg; a photo whose
                       output name another photo's .jpg keeps is saved as
                       its whole name with .jpg added (a.heic.jpg)
  --phone              what phone photos need: --all-photos, --auto-orient
                       and --colour srgb at once
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
  --colour MODE        keep the colour values as they are (default), or srgb:
                       convert each photo whose colour profile is not sRGB
                       to sRGB (with --keep-metadata its output then
                       carries an sRGB profile)
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
  --strict-crops       refuse the run, before any photo, when a --crops path
                       names no photo of it
  --fit MODE           trim to the size's aspect (default), or border: the
                       whole photo fitted inside the size (never enlarged)
                       and centred on a white canvas of exactly the size
  --margin N           the white frame of --fit border on all four sides: N
                       millimetres at the --dpi of a print size, at least,
                       or N pixels at a fixed pixel size (0 to 100; default
                       3; 0: the photo meets two edges)
  --date-stamp         print the date taken (Exif DateTimeOriginal, else the
                       file's modification day, said in the log) in the
                       lower right of each output, 2.5 mm high in orange
  --date-format FMT    the stamp's date as 'YY M D (default), YYYY.MM.DD or
                       YYYY年M月D日; implies --date-stamp
  --shop-names         name the outputs for a print shop's machine: ASCII
                       letters, digits, _ and - only, all in OUTPUT_FOLDER,
                       with quorvale-names.csv mapping each to its photo
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
before anything is touched. Its paths match without a leading './', an
absolute path inside INPUT_FOLDER as its path under it, and accents or kana
voicing marks written apart as written together. A path that still names
no photo of the run is named on standard error before the first photo (the
first 20, then their count).
)"),
      Translate(R"(Both folders are made absolute against the current folder before the run;
INPUT_FOLDER is taken with a trailing '/', so INPUT_FOLDER/sub/a.jpg is
written to OUTPUT_FOLDER/sub/a.jpg.
)"),
      Translate(R"(Standard output has one line per photo (its path), a line for each problem
or skip, and the summary as the last line. Questions with the answer given,
notices and, on a terminal, the progress line go to standard error, and
so do the names of unlistable subfolders, of earlier runs' outputs passed
over (a run leaves a hidden .quorvale-output file in OUTPUT_FOLDER, and a
later run does not take such a folder inside its INPUT_FOLDER as input), of
photos saved with damaged data and of photos the high-quality reduction
declined. No photo is written into INPUT_FOLDER's tree, whatever links
lead there. Ctrl-C, SIGTERM or
SIGHUP stops the run after the photo in hand (one in the middle of a decode
or a high-quality reduction is not saved); a second one ends the program.
)"),
      Translate(R"(Exit status:
  0  the run finished with no error
  1  the run finished with errors, or was stopped, or a subfolder could not
     be listed
  2  the run did not start (usage error, a failed check, no JPEG files, a
     --crops path for no photo with --strict-crops), or the --report page
     could not be written
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
  std::vector<SizeChoice> rows;
  for (std::size_t row = 0; row < SizeTable().size(); ++row) rows.push_back({row, dpi});
  std::sort(rows.begin(), rows.end(), [](const SizeChoice& a, const SizeChoice& b) {
    return a.Preset().screenRow < b.Preset().screenRow;
  });

  std::size_t idWidth = 2;
  for (const SizeChoice& row : rows) {
    idWidth = std::max(idWidth, std::string(row.Preset().id).size());
  }

  char line[512];
  std::snprintf(line, sizeof line, "%-*s  %-11s  %-5s  %s\n", static_cast<int>(idWidth), "ID",
                "L x S", "KIND", "CAPTION");
  std::string text = line;
  for (const SizeChoice& choice : rows) {
    const SizePreset* row = &choice.Preset();
    const LongShort pair = TargetSize(choice);
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
