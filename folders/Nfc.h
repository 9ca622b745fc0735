#pragma once

#include <string>
#include <string_view>

namespace quorvale {

// `text` with its combining marks composed with their base character as
// Unicode's canonical composition (NFC) does, for the marks that names made
// on another system spell apart: U+0300..U+036F after Latin, Greek and
// Cyrillic letters, and the kana voicing marks U+3099 and U+309A. Other
// characters, and bytes that are not well-formed UTF-8, stay as they are
// (text that holds none of those marks is returned unchanged), so the same
// name spelled either way gives the same bytes.
std::string ComposeNfc(std::string_view text);

}  // namespace quorvale
