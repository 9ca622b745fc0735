#include "batch/ShopNames.h"

#include <set>
#include <string_view>

#include "platform/Utf8.h"

namespace quorvale {
namespace {

constexpr std::string_view Extension = ".jpg";

// U+00C0 to U+00FF as their base letters; '_' for the two signs among them.
constexpr std::string_view LatinBase =
    "AAAAAAACEEEEIIIIDNOOOOO_OUUUUYTsaaaaaaaceeeeiiiidnooooo_ouuuuyty";

bool Kept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// The ASCII a code point folds to: itself, its base letter, nothing for a
// combining mark, '_' for anything else.
std::string Fold(char32_t point) {
  if (point < 0x80) {
    const char c = static_cast<char>(point);
    return Kept(c) ? std::string(1, c) : "_";
  }
  if (point >= 0xC0 && point <= 0xFF) return std::string(LatinBase.substr(point - 0xC0, 1));
  if ((point >= 0x300 && point <= 0x36F) || point == 0x3099 || point == 0x309A) return "";
  if ((point >= 0xFF10 && point <= 0xFF19) || (point >= 0xFF21 && point <= 0xFF3A) ||
      (point >= 0xFF41 && point <= 0xFF5A)) {
    return Fold(point - 0xFF00 + 0x20);
  }
  return "_";
}

std::string Trimmed(std::string name) {
  const std::size_t first = name.find_first_not_of("_-");
  if (first == std::string::npos) return std::string();
  return name.substr(first, name.find_last_not_of("_-") - first + 1);
}

std::string FoldedStem(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1)) {
    path = path.substr(0, dot);
  }
  std::string stem;
  while (!path.empty()) {
    const Utf8Char c = DecodeUtf8At(path, 0);
    // A byte that starts no well-formed character is one of its own.
    path.remove_prefix(c.length == 0 ? 1 : c.length);
    const std::string folded = c.length == 0 ? "_" : Fold(c.code);
    if (folded == "_" && !stem.empty() && stem.back() == '_') continue;
    stem += folded;
  }
  stem = Trimmed(stem);
  return stem.empty() ? "photo" : stem;
}

// `stem` with `suffix`, cut from the front to fit a name with its extension.
std::string Fitted(const std::string& stem, const std::string& suffix) {
  const std::size_t room = MaxShopNameBytes - Extension.size() - suffix.size();
  std::string kept = stem.size() <= room ? stem : Trimmed(stem.substr(stem.size() - room));
  if (kept.empty()) kept = "photo";
  return kept + suffix + std::string(Extension);
}

std::string Lower(std::string name) {
  for (char& c : name) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return name;
}

std::string Quoted(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) quoted += c == '"' ? "\"\"" : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::vector<std::string> ShopNames(const std::vector<std::string>& relativePaths) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const std::string& path : relativePaths) {
    const std::string stem = FoldedStem(path);
    std::string name = Fitted(stem, "");
    for (int n = 2; !taken.insert(Lower(name)).second; ++n) {
      name = Fitted(stem, "-" + std::to_string(n));
    }
    names.push_back(std::move(name));
  }
  return names;
}

std::string ShopNamesCsv(const std::vector<ShopNameRow>& rows) {
  std::string text = "\xEF\xBB\xBFoutput,input\r\n";
  for (const ShopNameRow& row : rows) {
    text += Quoted(row.output) + "," + Quoted(row.input) + "\r\n";
  }
  return text;
}

}  // namespace quorvale
