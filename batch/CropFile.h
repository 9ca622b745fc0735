#pragma once

#include <map>
#include <optional>

#include <string>
#include <string_view>
#include "batch/RunOptions.h"

namespace quorvale {

// A crop position as text: "top" or "left" (0), "centre" or "center"
// (0.5), "bottom" or "right" (1), or a number from 0 to 1 as JSON writes
// numbers ("0", "0.25", "1", "2.5e-1"). Nothing else: no blanks, no sign
// but a minus of zero.
std::optional<double> ParseCropPosition(std::string_view text);

// Why a crop file was refused, and the line (from 1) where it was seen.
struct CropFileError {
  enum Kind {
    ExpectedObject,  // the file is not one JSON object
    ExpectedPath,    // a key string (or the object's end) was due
    ExpectedColon,
    ExpectedComma,  // ',' or the object's end was due
    TrailingText,   // something follows the object
    BadString,      // a control character, a bad escape or no closing quote
    BadPosition,    // a value that is no position (see ParseCropPosition)
    DuplicatePath,  // the same path twice
  };
  Kind kind = ExpectedObject;
  int line = 1;
};

struct CropFile {
  CropTable positions;
  std::optional<CropFileError> error;  // when set, `positions` is empty
};

// Reads a crop file: one JSON object whose keys are photo paths relative to
// the input folder and whose values are positions, a number or one of the
// words as a string ({"sub/a.jpg": 0.2, "b.jpg": "top"}). Strict JSON (RFC
// 8259) apart from two things: a leading UTF-8 byte order mark is skipped,
// and a string's bytes are kept as they are, so a path that is not UTF-8
// can be given by its own bytes; \u escapes give UTF-8. Each key is taken
// as CropKey with `inputFolder` makes it; two keys that come out the same
// are a DuplicatePath at the second.
CropFile ParseCropFile(std::string_view text, const std::string& inputFolder = {});

// The whole text of the crop file at `path` (read as it comes, so a pipe
// works), or nullopt with errno set
// (EFBIG when it is larger than any crop file: a crop file for 1,000 photos
// is some tens of kilobytes, and a large file given by mistake is not read
// into memory whole).
std::optional<std::string> ReadCropFileText(const std::string& path);

// A crop file that ParseCropFile reads back as `positions`: one entry a
// line in path-byte order, each position as the shortest number that reads
// back to the same double. A path's bytes are kept as they are but for the
// quote, the backslash and the control characters, which are escaped; a
// position outside [0, 1] (or NaN) is written as the nearer end (0.5).
std::string WriteCropFile(const std::map<std::string, double>& positions);

}  // namespace quorvale
