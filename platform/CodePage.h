#pragma once

#include <string_view>

namespace quorvale {

// Whether the locale's characters may take two bytes. The path rules need
// not know (see folders/PathRules.h); quorvale-batch's terminal escapes do,
// as the bytes of a C1 control in UTF-8 begin a character in these sets.

// True for a codeset name as nl_langinfo(CODESET) reports it ("SHIFT_JIS",
// "CP932", "GBK", ...; any case, '-' and '_' ignored) whose characters may
// take two bytes; false for UTF-8, single-byte sets and unknown names.
bool IsDoubleByteCodeset(std::string_view codeset);

// Reads the locale's codeset once (setlocale(LC_CTYPE, "") and
// nl_langinfo(CODESET)) and fixes it for the rest of the run. Later calls
// change nothing.
void InitActiveCodePage();

// IsDoubleByteCodeset of the codeset fixed by InitActiveCodePage; false when
// it was never called.
bool ActiveCodePageIsDoubleByte();

}  // namespace quorvale
