// Feeds arbitrary bytes to the path text rules as a path and checks the
// contracts their declarations state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/JpegFile.h"
#include "folders/PathRules.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

void CheckRules(std::string_view path) {
  // Exactly one separator at the end, at any length.
  const bool endsInSeparator = path.ends_with('/');
  const std::string with = quorvale::WithSeparator(path);
  Require(endsInSeparator
              ? with == path
              : with.size() == path.size() + 1 && with.starts_with(path) && with.back() == '/');

  // A forbidden character found is one, and none stands before it.
  const std::int32_t at = quorvale::HasForbiddenChar(path);
  const std::string_view before = at < 0 ? path : path.substr(0, static_cast<std::size_t>(at));
  Require(before.find_first_of(quorvale::ForbiddenNameChars) == std::string_view::npos);
  Require(at < 0 || quorvale::ForbiddenNameChars.find(path[at]) != std::string_view::npos);

  // The folder part is a prefix that leaves at most a separator and a name
  // with none.
  const std::string folder = quorvale::FolderOfPath(std::string(path));
  Require(path.starts_with(folder));
  std::string_view rest = path.substr(folder.size());
  if (rest.starts_with('/')) rest.remove_prefix(1);
  Require(rest.find('/') == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckRules(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
