#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvale {

// The longest output name a shop's machine is given, ".jpg" included.
inline constexpr std::size_t MaxShopNameBytes = 64;

// The file beside the outputs that maps each to its photo
// ("quorvale-names-K-of-N.csv" for part K of N of a shared run).
inline constexpr const char* ShopNamesFile = "quorvale-names.csv";

// Output names for photos at `relativePaths` (under the input folder, in
// the run's order) that a print shop's machine takes: one folder level,
// ASCII letters, digits, '_' and '-' only, ending in ".jpg", at most
// MaxShopNameBytes. The path without its extension is folded: full-width
// letters and digits become ASCII, accented Latin letters their base
// letter, combining marks (decomposed accents, dakuten) are dropped, and
// each run of anything else ('/', spaces, Japanese, symbols, bytes that are
// not UTF-8) becomes one '_'; '_' and '-' are trimmed at the ends; "photo"
// when nothing is left. A longer name keeps its end (the file's own name).
// Names that would meet, letter case aside (as on a memory card's FAT),
// are numbered "-2", "-3", ... in the order given.
std::vector<std::string> ShopNames(const std::vector<std::string>& relativePaths);

// The map's text: a UTF-8 byte order mark, "output,input", then one line
// per pair (CRLF), each field quoted when it holds a comma, a quote or a
// line break, the quotes doubled.
struct ShopNameRow {
  std::string output;  // the name
  std::string input;   // the photo's path under the input folder, bytes
};
std::string ShopNamesCsv(const std::vector<ShopNameRow>& rows);

}  // namespace quorvale
