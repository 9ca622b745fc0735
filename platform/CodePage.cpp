#include "platform/CodePage.h"

#include <langinfo.h>

#include <algorithm>
#include <clocale>
#include <string>

namespace quorvale {
namespace {

LeadByteSet& ActiveSet() {
  static LeadByteSet set;
  return set;
}

std::string Normalized(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return out;
}

}  // namespace

LeadByteSet LeadByteSet::ShiftJis() {
  LeadByteSet set;
  set.AddRange(0x81, 0x9F);
  set.AddRange(0xE0, 0xFC);
  return set;
}

LeadByteSet LeadByteSet::WideEastAsian() {
  LeadByteSet set;
  set.AddRange(0x81, 0xFE);
  return set;
}

LeadByteSet LeadByteSet::ForCodeset(std::string_view codeset) {
  const std::string name = Normalized(codeset);
  for (const char* sjis : {"SHIFTJIS", "SJIS", "CP932", "WINDOWS31J", "MSKANJI"}) {
    if (name == sjis) return ShiftJis();
  }
  for (const char* wide : {"GBK", "GB18030", "CP936", "UHC", "CP949", "BIG5", "BIG5HKSCS", "CP950"}) {
    if (name == wide) return WideEastAsian();
  }
  return LeadByteSet();
}

bool LeadByteSet::Empty() const {
  return std::none_of(lead_.begin(), lead_.end(), [](bool b) { return b; });
}

void LeadByteSet::AddRange(unsigned char low, unsigned char high) {
  for (int b = low; b <= high; ++b) lead_[b] = true;
}

void InitActiveCodePage() {
  static const bool done = [] {
    std::setlocale(LC_CTYPE, "");
    ActiveSet() = LeadByteSet::ForCodeset(nl_langinfo(CODESET));
    return true;
  }();
  (void)done;
}

const LeadByteSet& ActiveLeadBytes() { return ActiveSet(); }

}  // namespace quorvale
