#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvale {

// Length limits of path texts, in bytes.
inline constexpr std::size_t MaxFolderFieldLength = 2000;    // the folder fields, a typed name
inline constexpr std::size_t MaxSubfolderPathLength = 2040;  // output folder + name
inline constexpr std::size_t MaxOutputPathLength = 2047;

// The nine characters a typed folder name must not hold. ']' and the
// separator are allowed: a separator in a typed name makes nested folders,
// and ']' is an ordinary name character.
inline constexpr std::string_view ForbiddenNameChars = "<>'=?*;:\"";

// Paths are spelled with '/' and have no drive part. They are bytes in the
// locale's code set, which may have multibyte characters (Shift-JIS, GBK,
// GB18030, UHC, Big5), but '/' and the forbidden name characters are ASCII
// symbols below 0x40, and a byte after the first of such a character is
// 0x40 or above (or a digit, in GB18030's four-byte ones). So a byte these
// rules look for is always a character of its own, wherever it stands, and
// no rule walks the text from its front to find where characters begin.

// `path` unchanged when it ends in '/' (at any length, so a long text never
// gets a second one), else `path` and one '/' (so an empty text becomes the
// root).
std::string WithSeparator(std::string_view path);

// The byte offset of the first of ForbiddenNameChars in `name`, or -1.
std::int32_t HasForbiddenChar(std::string_view name);

// The folder part of `path`: up to its last '/', that '/' dropped unless it
// follows another or is the root; empty when there is none. /out/a.jpg gives
// /out, /a.jpg gives / and /out//a.jpg gives /out//.
std::string FolderOfPath(const std::string& path);

}  // namespace quorvale
