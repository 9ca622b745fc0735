#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace quorvale {
namespace {

TEST(CodePage, CodesetNamesTellDoubleByteSets) {
  const std::pair<const char*, bool> cases[] = {
      {"SHIFT_JIS", true}, {"CP932", true},       {"sjis", true},       {"GBK", true},
      {"GB18030", true},   {"BIG5", true},        {"big5-hkscs", true}, {"UHC", true},
      {"UTF-8", false},    {"ISO-8859-1", false}, {"", false},
  };
  for (const auto& [codeset, doubleByte] : cases) {
    EXPECT_EQ(IsDoubleByteCodeset(codeset), doubleByte) << codeset;
  }
}

}  // namespace
}  // namespace quorvale
