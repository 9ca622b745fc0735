#include "folders/PathRules.h"

namespace quorvale {

std::int32_t EndsWithSeparator(std::string_view path, const PathSyntax& syntax) {
  if (path.size() > MaxExaminedPathLength) return -2;
  if (path.empty()) return -3;
  // The class of the last byte depends on every pair before it, so the walk
  // has to start at the front: a trailing 0x5C may be the second half of 表.
  bool lastIsSingle = false;
  bool secondOfPair = false;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (secondOfPair) {
      secondOfPair = false;
      lastIsSingle = false;
    } else if (syntax.leadBytes.Contains(byte)) {
      secondOfPair = true;
      lastIsSingle = false;
    } else {
      lastIsSingle = true;
    }
  }
  return lastIsSingle && path.back() == syntax.separator ? 1 : 0;
}

std::string WithSeparator(std::string_view path, const PathSyntax& syntax) {
  std::string result(path);
  if (EndsWithSeparator(path, syntax) != 1) result += syntax.separator;
  return result;
}

std::int32_t HasForbiddenChar(std::string_view name, std::string_view set,
                              const PathSyntax& syntax) {
  std::size_t i = 0;
  while (i < name.size()) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (syntax.leadBytes.Contains(byte) && i + 1 < name.size()) {
      i += 2;
      continue;
    }
    if (byte < 0x80 && set.find(static_cast<char>(byte)) != std::string_view::npos) {
      return static_cast<std::int32_t>(i);
    }
    ++i;
  }
  return -1;
}

}  // namespace quorvale
