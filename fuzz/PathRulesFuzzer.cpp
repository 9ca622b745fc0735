// Feeds arbitrary bytes as a path to the path text rules and to the shop
// names, and checks the contracts their declarations state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "batch/ShopNames.h"
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

// A shop's names for the path twice over: each of its plain characters,
// short enough, ending in ".jpg", and the second numbered apart.
void CheckShopNames(std::string_view path) {
  const std::vector<std::string> names =
      quorvale::ShopNames({std::string(path), std::string(path)});
  Require(names.size() == 2 && names[0] != names[1]);
  for (const std::string& name : names) {
    Require(name.size() <= quorvale::MaxShopNameBytes && name.ends_with(".jpg"));
    const std::string_view stem(name.data(), name.size() - 4);
    Require(!stem.empty());
    for (const char c : stem) {
      Require((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view path(reinterpret_cast<const char*>(data), size);
  CheckRules(path);
  CheckShopNames(path);
  return 0;
}
