#include "folders/PathRules.h"

namespace quorvale {

std::int32_t EndsWithSeparator(std::string_view path, const PathSyntax& syntax) {
  if (path.size() > MaxExaminedPathLength) return -2;
  if (path.empty()) return -3;
  // The class of the last byte depends on every pair before it, so the walk
  // has to start at the front: a trailing 0x5C may be the second half of 表.
  bool endsWithSeparator = false;
  ForEachSingleByte(path, syntax.leadBytes, [&](std::size_t i, unsigned char byte) {
    endsWithSeparator = i + 1 == path.size() && byte == syntax.separator;
    return true;
  });
  return endsWithSeparator ? 1 : 0;
}

std::string WithSeparator(std::string_view path, const PathSyntax& syntax) {
  std::string result(path);
  if (EndsWithSeparator(path, syntax) != 1) result += syntax.separator;
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
