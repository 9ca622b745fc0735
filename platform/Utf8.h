#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvale {

// One character of UTF-8 text.
struct Utf8Char {
  std::size_t length = 0;  // 0: the byte there starts no well-formed character
  char32_t code = 0;
};

// The character that starts at `at` (below text.size()), by the table of
// well-formed sequences (Unicode, table 3-7), which leaves out overlong
// forms, surrogates and code points above U+10FFFF.
inline Utf8Char DecodeUtf8At(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char first = byte(0);
  if (first < 0x80) return {1, first};
  std::size_t length;
  char32_t code;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
    code = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    code = first & 0x0F;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    code = first & 0x07;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (text.size() - at < length) return {};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return {};
    code = (code << 6) | (next & 0x3F);
  }
  return {length, code};
}

// Appends `code` (a code point up to U+10FFFF) to `out` in UTF-8.
inline void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace quorvale
