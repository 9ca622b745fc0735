#include "folders/PathRules.h"

namespace quorvale {
namespace {

// Whether the last character of `path` is a single-byte separator, at any
// length. '/' is below every trail byte, so a last '/' always is one; a last
// '\' may be the second half of 表, and the class of the last byte depends
// on every pair before it, so then the walk has to start at the front.
bool LastIsSeparator(std::string_view path, const PathSyntax& syntax) {
  if (path.empty() || path.back() != syntax.separator) return false;
  if (syntax.SeparatorStandsAlone()) return true;
  bool endsWithSeparator = false;
  ForEachSingleByte(path, syntax.leadBytes, [&](std::size_t i, unsigned char byte) {
    endsWithSeparator = i + 1 == path.size() && byte == syntax.separator;
    return true;
  });
  return endsWithSeparator;
}

}  // namespace

std::int32_t EndsWithSeparator(std::string_view path, const PathSyntax& syntax) {
  if (path.size() > MaxExaminedPathLength) return -2;
  if (path.empty()) return -3;
  return LastIsSeparator(path, syntax) ? 1 : 0;
}

std::string WithSeparator(std::string_view path, const PathSyntax& syntax) {
  std::string result(path);
  if (!LastIsSeparator(path, syntax)) result += syntax.separator;
  return result;
}

std::int32_t HasForbiddenChar(std::string_view name, std::string_view set,
                              const PathSyntax& syntax) {
  std::int32_t found = -1;
  ForEachSingleByte(name, syntax.leadBytes, [&](std::size_t i, unsigned char byte) {
    if (byte < 0x80 && set.find(static_cast<char>(byte)) != std::string_view::npos) {
      found = static_cast<std::int32_t>(i);
      return false;
    }
    return true;
  });
  return found;
}

}  // namespace quorvale
