#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace quorvale {
namespace {

TEST(LeadByteSet, CodesetsMapToTheirRanges) {
  struct Case {
    const char* codeset;
    unsigned char lead;      // a byte that must lead
    unsigned char notLead;   // one that must not
    bool empty;
  };
  const Case cases[] = {
      {"SHIFT_JIS", 0x95, 0xA0, false}, {"CP932", 0xE0, 0xFD, false},
      {"sjis", 0x81, 0x80, false},      {"GBK", 0xFE, 0x80, false},
      {"GB18030", 0xA0, 0xFF, false},   {"BIG5", 0x81, 0x7F, false},
      {"UTF-8", 0x00, 0x95, true},      {"ISO-8859-1", 0x00, 0xE0, true},
      {"", 0x00, 0x81, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codeset);
    const LeadByteSet set = LeadByteSet::ForCodeset(c.codeset);
    EXPECT_EQ(set.Empty(), c.empty);
    if (!c.empty) {
      EXPECT_TRUE(set.Contains(c.lead));
    }
    EXPECT_FALSE(set.Contains(c.notLead));
  }
}

TEST(LeadByteSet, ShiftJisRangesAreInclusive) {
  const LeadByteSet set = LeadByteSet::ShiftJis();
  for (int b = 0; b < 256; ++b) {
    const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(set.Contains(static_cast<unsigned char>(b)), expected) << b;
  }
}

}  // namespace
}  // namespace quorvale
