#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PathSyntax.h"

namespace quorvale {

// Length limits of path texts, in bytes.
inline constexpr std::size_t MaxExaminedPathLength = 2047;   // EndsWithSeparator
inline constexpr std::size_t MaxFolderFieldLength = 2000;    // Edit1, Edit2, a typed name
inline constexpr std::size_t MaxSubfolderPathLength = 2040;  // output folder + name
inline constexpr std::size_t MaxOutputPathLength = 2047;

// The nine characters a typed folder name must not hold. ']' and the
// separator are allowed: a separator in a typed name makes nested folders,
// and ']' is an ordinary name character.
inline constexpr std::string_view ForbiddenNameChars = "<>'=?*;:\"";

// 1 when the last character of `path` is a single-byte separator; 0 when it
// is not (also when the last byte is the second byte of a double-byte
// character); -2 when `path` is 2048 bytes or longer; -3 when it is empty.
// '/' is below every second byte of the code pages we support, so a last
// '/' is always a separator; only a '\' needs the lead bytes before it.
std::int32_t EndsWithSeparator(std::string_view path, const PathSyntax& syntax);

// `path` unchanged when its last character is a single-byte separator (as
// EndsWithSeparator decides, but at any length, so a long text never gets a
// second one), else `path` and one separator (so an empty text becomes a
// lone separator).
std::string WithSeparator(std::string_view path, const PathSyntax& syntax);

// The byte offset of the first single-byte character of `name` below 0x80
// that is in `set`, or -1. A lead byte with a byte after it starts a
// two-byte character, which never counts.
std::int32_t HasForbiddenChar(std::string_view name, std::string_view set,
                              const PathSyntax& syntax);

}  // namespace quorvale
