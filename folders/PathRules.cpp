#include "folders/PathRules.h"

#include <algorithm>

namespace quorvale {

// Byte-by-byte search is sound only while this holds (see the header).
static_assert(std::ranges::all_of(ForbiddenNameChars, [](char c) {
  return c > 0 && c < 0x40 && !(c >= '0' && c <= '9');
}));

std::string WithSeparator(std::string_view path) {
  std::string result(path);
  if (!result.ends_with('/')) result += '/';
  return result;
}

std::int32_t HasForbiddenChar(std::string_view name) {
  const std::size_t at = name.find_first_of(ForbiddenNameChars);
  return at == std::string_view::npos ? -1 : static_cast<std::int32_t>(at);
}

std::string FolderOfPath(const std::string& path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string::npos) return std::string();
  const bool keep = last == 0 || path[last - 1] == '/';
  return path.substr(0, keep ? last + 1 : last);
}

}  // namespace quorvale
