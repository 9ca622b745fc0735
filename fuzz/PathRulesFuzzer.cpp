// Feeds arbitrary bytes to the path text rules under both path syntaxes and
// checks the contracts their declarations state. The first input byte picks
// the syntax and lead bytes; the rest is the path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "folders/PathRules.h"
#include "imaging/JpegFile.h"
#include "platform/PathSyntax.h"

namespace {

using quorvale::LeadByteSet;
using quorvale::PathSyntax;

void Require(bool holds) {
  if (!holds) std::abort();
}

PathSyntax SyntaxFor(std::uint8_t selector) {
  switch (selector % 4) {
    case 0:
      return PathSyntax{'/', false, LeadByteSet()};
    case 1:
      return PathSyntax{'/', false, LeadByteSet::ShiftJis()};
    case 2:
      return PathSyntax::Windows();
    default:
      return PathSyntax::Windows(LeadByteSet::WideEastAsian());
  }
}

void CheckRules(std::string_view path, const PathSyntax& syntax) {
  const std::int32_t ends = quorvale::EndsWithSeparator(path, syntax);
  if (path.empty()) {
    Require(ends == -3);
  } else if (path.size() > quorvale::MaxExaminedPathLength) {
    Require(ends == -2);
  } else {
    Require(ends == 0 || ends == 1);
    if (ends == 1) Require(path.back() == syntax.separator);
  }

  // WithSeparator decides as EndsWithSeparator does, at any length.
  const std::string with = quorvale::WithSeparator(path, syntax);
  const bool unchanged = with == path;
  Require(unchanged || (with.size() == path.size() + 1 && with.starts_with(path) &&
                        with.back() == syntax.separator));
  if (ends >= 0) Require(unchanged == (ends == 1));
  if (unchanged) Require(!path.empty() && path.back() == syntax.separator);

  for (std::string_view set : {quorvale::ForbiddenNameChars, std::string_view("/\\:")}) {
    const std::int32_t at = quorvale::HasForbiddenChar(path, set, syntax);
    if (at < 0) {
      Require(at == -1);
      continue;
    }
    const auto index = static_cast<std::size_t>(at);
    Require(index < path.size());
    const auto byte = static_cast<unsigned char>(path[index]);
    Require(byte < 0x80 && set.find(static_cast<char>(byte)) != std::string_view::npos);
  }

  const std::string folder = quorvale::FolderOfPath(std::string(path), syntax);
  Require(path.starts_with(folder));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view path(reinterpret_cast<const char*>(data + 1), size - 1);
  CheckRules(path, SyntaxFor(data[0]));
  return 0;
}
