#pragma once

#include <array>
#include <string_view>

namespace quorvale {

// Which byte values begin a two-byte character in path and message texts.
// Paths are byte strings; on the Shift-JIS family the second byte of a
// character may equal '\' or other ASCII symbols, so every rule that looks
// for a separator walks the text with this set.
class LeadByteSet {
 public:
  // No lead bytes: UTF-8 and single-byte code sets.
  LeadByteSet() = default;

  // Code page 932: 0x81-0x9F and 0xE0-0xFC.
  static LeadByteSet ShiftJis();
  // GBK, GB18030, UHC and Big5: 0x81-0xFE.
  static LeadByteSet WideEastAsian();
  // The set for a codeset name as nl_langinfo(CODESET) reports it
  // ("SHIFT_JIS", "CP932", "GBK", "UTF-8", ...); unknown names give no lead bytes.
  static LeadByteSet ForCodeset(std::string_view codeset);

  bool Contains(unsigned char byte) const { return lead_[byte]; }
  bool Empty() const;

 private:
  void AddRange(unsigned char low, unsigned char high);
  std::array<bool, 256> lead_{};
};

// Reads the locale's codeset once (setlocale(LC_CTYPE, "") and
// nl_langinfo(CODESET)) and fixes the active set for the rest of the run.
// Later calls change nothing.
void InitActiveCodePage();

// The set fixed by InitActiveCodePage; empty when it was never called.
const LeadByteSet& ActiveLeadBytes();

// True when `byte` is in the active set.
inline bool IsLeadByte(unsigned char byte) { return ActiveLeadBytes().Contains(byte); }

}  // namespace quorvale
