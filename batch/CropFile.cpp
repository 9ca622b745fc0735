#include "batch/CropFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "folders/Nfc.h"
#include "folders/PathRules.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/Utf8.h"

namespace quorvale {
namespace {

// A crop file for 1,000 photos is some tens of kilobytes.
constexpr std::size_t MaxCropFileBytes = std::size_t{64} << 20;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the JSON number at the start of `text`, or 0:
// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
std::size_t NumberLength(std::string_view text) {
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i > start;
  };
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '0') {
    ++i;
  } else if (!digits()) {
    return 0;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return 0;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return 0;
  }
  return i;
}

std::optional<double> PositionWord(std::string_view word) {
  if (word == "top" || word == "left") return 0.0;
  if (word == "centre" || word == "center") return 0.5;
  if (word == "bottom" || word == "right") return 1.0;
  return std::nullopt;
}

// A number that is all of `text`, from 0 to 1.
std::optional<double> PositionNumber(std::string_view text) {
  if (text.empty() || NumberLength(text) != text.size()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!(value >= 0 && value <= 1)) return std::nullopt;
  return value;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // Hands each entry to `take(path, position, line)`, which may refuse it
  // with an error of its own.
  template <typename Consumer>
  std::optional<CropFileError> Read(Consumer take) {
    if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;
    if (!Take('{')) return Refuse(CropFileError::ExpectedObject);
    if (!Take('}')) {
      do {
        SkipBlanks();
        const int keyLine = line_;
        if (Peek() != '"') return Refuse(CropFileError::ExpectedPath);
        std::optional<std::string> path = String();
        if (!path) return Refuse(CropFileError::BadString);
        if (!Take(':')) return Refuse(CropFileError::ExpectedColon);
        SkipBlanks();
        const std::optional<double> position = Value();
        if (!position) return Refuse(error_);
        if (std::optional<CropFileError> refused = take(std::move(*path), *position, keyLine)) {
          return refused;
        }
      } while (Take(','));
      if (!Take('}')) return Refuse(CropFileError::ExpectedComma);
    }
    SkipBlanks();
    if (at_ != text_.size()) return Refuse(CropFileError::TrailingText);
    return std::nullopt;
  }

 private:
  CropFileError Refuse(CropFileError::Kind kind) const { return CropFileError{kind, line_}; }

  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

  void SkipBlanks() {
    for (; at_ < text_.size(); ++at_) {
      const char c = text_[at_];
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
    }
  }

  // The next character after blanks, taken when it is `c`.
  bool Take(char c) {
    SkipBlanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  // A position: a number, or a word as a string. Sets error_ when not.
  std::optional<double> Value() {
    error_ = CropFileError::BadPosition;
    if (Peek() == '"') {
      const std::optional<std::string> word = String();
      if (!word) error_ = CropFileError::BadString;
      return word ? PositionWord(*word) : std::nullopt;
    }
    // Whatever stands there up to the next delimiter is the value's text, so
    // that "true" or "1.5" are named as a bad position, not as bad syntax.
    std::size_t end = at_;
    while (end < text_.size() &&
           std::string_view(",}] \t\r\n").find(text_[end]) == std::string_view::npos) {
      ++end;
    }
    const std::string_view token = text_.substr(at_, end - at_);
    at_ = end;
    return PositionNumber(token);
  }

  // The string starting at the quote under the cursor, its escapes undone.
  std::optional<std::string> String() {
    std::string out;
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return std::nullopt;
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::optional<std::uint32_t> cp = Hex4();
          if (!cp || (*cp >= 0xDC00 && *cp <= 0xDFFF)) return std::nullopt;
          if (*cp >= 0xD800 && *cp <= 0xDBFF) {
            // A high surrogate must be followed by its low one.
            if (!text_.substr(at_).starts_with("\\u")) return std::nullopt;
            at_ += 2;
            const std::optional<std::uint32_t> low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
          }
          AppendUtf8(out, *cp);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<std::uint32_t> Hex4() {
    if (text_.size() - at_ < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text_[at_++];
      value <<= 4;
      if (IsDigit(c)) {
        value |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return value;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int line_ = 1;
  CropFileError::Kind error_ = CropFileError::BadPosition;
};

}  // namespace

std::optional<double> ParseCropPosition(std::string_view text) {
  if (std::optional<double> word = PositionWord(text)) return word;
  return PositionNumber(text);
}

std::string CropKey(std::string_view path, const std::string& inputFolder) {
  if (!inputFolder.empty() && path.starts_with('/')) {
    const std::string folder = WithSeparator(inputFolder);
    if (path.starts_with(folder)) path.remove_prefix(folder.size());
  }
  std::string key;
  key.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const bool atStart = i == 0 || path[i - 1] == '/';
    if (atStart && path.substr(i, 2) == "./") {
      ++i;
      continue;
    }
    key += path[i];
  }
  return ComposeNfc(key);
}

CropTable::CropTable(std::vector<Entry> entries) {
  const auto outOfOrder = [](const Entry& a, const Entry& b) { return a.first >= b.first; };
  if (std::adjacent_find(entries.begin(), entries.end(), outOfOrder) != entries.end()) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.first < b.first; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const Entry& a, const Entry& b) { return a.first == b.first; }),
                  entries.end());
  }
  if (!entries.empty()) entries_ = std::make_shared<const std::vector<Entry>>(std::move(entries));
}

CropTable::CropTable(const std::map<std::string, double>& positions)
    : CropTable(std::vector<Entry>(positions.begin(), positions.end())) {}

const std::vector<CropTable::Entry>& CropTable::Entries() const {
  static const std::vector<Entry> none;
  return entries_ ? *entries_ : none;
}

const double* CropTable::Find(std::string_view key) const {
  const std::vector<Entry>& entries = Entries();
  const auto found =
      std::lower_bound(entries.begin(), entries.end(), key,
                       [](const Entry& entry, std::string_view k) { return entry.first < k; });
  return found != entries.end() && found->first == key ? &found->second : nullptr;
}

double CropTable::at(std::string_view key) const {
  const double* found = Find(key);
  if (found == nullptr) throw std::out_of_range("no crop position for the photo");
  return *found;
}

CropFile ParseCropFile(std::string_view text, const std::string& inputFolder) {
  std::vector<CropTable::Entry> entries;
  // Every entry has its colon: the array is had at once, never regrown.
  entries.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), ':')));
  const auto keep = [&](std::string path, double position, int) -> std::optional<CropFileError> {
    entries.emplace_back(CropKey(path, inputFolder), position);
    return std::nullopt;
  };
  if (std::optional<CropFileError> error = Reader(text).Read(keep)) return {{}, error};
  CropFile file;
  std::vector<CropTable::Entry> sorted = std::move(entries);
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto twice =
      std::adjacent_find(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first == b.first; });
  if (twice == sorted.end()) {
    file.positions = CropTable(std::move(sorted));
    return file;
  }
  // Only now is it worth knowing where the key stands the second time.
  const std::string duplicate = twice->first;
  sorted = {};
  int seen = 0;
  CropFileError error{CropFileError::DuplicatePath, 1};
  Reader(text).Read([&](std::string path, double, int line) -> std::optional<CropFileError> {
    if (CropKey(path, inputFolder) == duplicate && ++seen == 2) {
      error.line = line;
      return error;
    }
    return std::nullopt;
  });
  return {{}, error};
}

std::string WriteCropFile(const std::map<std::string, double>& positions) {
  std::string out = "{";
  const char* separator = "\n";
  for (const auto& [path, position] : positions) {
    out += separator;
    separator = ",\n";
    out += "  \"";
    for (const char c : path) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        out += escape;
      } else {
        out += c;
      }
    }
    out += "\": ";
    // Adding 0 turns a negative zero into 0.
    const double value = std::isnan(position) ? 0.5 : std::clamp(position, 0.0, 1.0) + 0.0;
    char number[32];
    const auto written = std::to_chars(number, number + sizeof number, value);
    out.append(number, written.ptr);
  }
  out += positions.empty() ? "}\n" : "\n}\n";
  return out;
}

std::optional<std::string> ReadCropFileText(const std::string& path) {
  const FileDescriptor file(OpenLongPath(path, O_RDONLY));
  if (!file) return std::nullopt;
  std::string text;
  // A file says its size, so the text is had in one piece; a pipe's grows.
  struct stat st {};
  if (::fstat(file.Get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    text.reserve(std::min(static_cast<std::size_t>(st.st_size), MaxCropFileBytes + 1));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > MaxCropFileBytes) {
      errno = EFBIG;
      return std::nullopt;
    }
  }
}

}  // namespace quorvale
