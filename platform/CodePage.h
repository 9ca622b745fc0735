#pragma once

#include <array>
#include <cstddef>
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

// Calls visit(offset, byte) for each single-byte character of `text`,
// walking from its first byte: a lead byte and the byte after it form one
// two-byte character, which is passed over; a lead byte in the last position
// is passed to `visit` as it stands. `visit` returns false to end the walk.
template <typename Visit>
void ForEachSingleByte(std::string_view text, const LeadByteSet& lead, Visit visit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (lead.Contains(byte) && i + 1 < text.size()) {
      ++i;
      continue;
    }
    if (!visit(i, byte)) return;
  }
}

// Reads the locale's codeset once (setlocale(LC_CTYPE, "") and
// nl_langinfo(CODESET)) and fixes the active set for the rest of the run.
// Later calls change nothing.
void InitActiveCodePage();

// The set fixed by InitActiveCodePage; empty when it was never called.
const LeadByteSet& ActiveLeadBytes();

// True when `byte` is in the active set.
inline bool IsLeadByte(unsigned char byte) {
  return ActiveLeadBytes().Contains(byte);
}

}  // namespace quorvale
