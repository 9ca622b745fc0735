// Feeds arbitrary bytes to the path text rules as a path and checks the
// contracts their declarations state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "folders/PathRules.h"
#include "codec/JpegFile.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

void CheckRules(std::string_view path) {
  const bool endsInSeparator = path.ends_with('/');
  const std::int32_t ends = quorvale::EndsWithSeparator(path);
  if (path.empty()) {
    Require(ends == -3);
  } else if (path.size() > quorvale::MaxExaminedPathLength) {
    Require(ends == -2);
  } else {
    Require(ends == (endsInSeparator ? 1 : 0));
  }

  // WithSeparator decides as EndsWithSeparator does, at any length.
  const std::string with = quorvale::WithSeparator(path);
  Require(endsInSeparator
              ? with == path
              : with.size() == path.size() + 1 && with.starts_with(path) && with.back() == '/');

  const std::int32_t at = quorvale::HasForbiddenChar(path);
  const std::size_t first = path.find_first_of(quorvale::ForbiddenNameChars);
  Require(at == (first == std::string_view::npos ? -1 : static_cast<std::int32_t>(first)));

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
