#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folders/PathRules.h"

namespace quorvale {
namespace {

// 表 in Shift-JIS: a lead byte followed by the value of a backslash.
const std::string kHyo = "\x95\x5C";
// ア, イ in half-width katakana: single bytes above 0x80.
const std::string kHalfWidth = "\xB1\xB2";

PathSyntax Sjis() {
  return PathSyntax::Windows();
}
PathSyntax Slash() {
  return {'/', false, LeadByteSet()};
}

struct EndsCase {
  const char* label;
  std::string path;
  std::int32_t expected;
};

TEST(EndsWithSeparator, WindowsStyleWithShiftJisLeadBytes) {
  const std::vector<EndsCase> cases = {
      {"empty", "", -3},
      {"drive root", "C:\\", 1},
      {"folder", "C:\\Photos", 0},
      {"folder with separator", "C:\\Photos\\", 1},
      {"forward slashes are ordinary", "C:/Photos/", 0},
      {"lone separator", "\\", 1},
      {"ends in 表", "C:\\" + kHyo, 0},
      {"表 then separator", "C:\\" + kHyo + "\\", 1},
      {"only 表", kHyo, 0},
      {"two 表", kHyo + kHyo, 0},
      {"lone lead byte at the end", "C:\\ab\x95", 0},
      {"lone lead byte alone", "\x95", 0},
      // 0x81 0x95 is one pair, so the 0x5C behind it stands alone.
      {"pair then single separator", std::string("\x81\x95") + "\\", 1},
      {"pair then 表", std::string("\x81\x81") + kHyo, 0},
      {"half-width katakana then separator", kHalfWidth + "\\", 1},
      {"half-width katakana before 表", kHalfWidth + kHyo, 0},
      {"2047 bytes ending in separator", std::string(2046, 'a') + "\\", 1},
      {"2047 bytes ending in 表", std::string(2045, 'a') + kHyo, 0},
      {"2047 bytes, lone lead at the end", std::string(2046, 'a') + "\x95", 0},
      {"2048 bytes ending in separator", std::string(2047, 'a') + "\\", -2},
      {"2048 bytes", std::string(2048, 'a'), -2},
      {"far too long", std::string(5000, '\\'), -2},
  };
  for (const EndsCase& c : cases) {
    EXPECT_EQ(EndsWithSeparator(c.path, Sjis()), c.expected) << c.label;
  }
}

TEST(EndsWithSeparator, NativeStyleWithoutLeadBytes) {
  const std::vector<EndsCase> cases = {
      {"empty", "", -3},
      {"root", "/", 1},
      {"folder", "/home/photos", 0},
      {"folder with separator", "/home/photos/", 1},
      {"backslash is ordinary", "/home/photos\\", 0},
      {"no lead bytes: 0x95 is single", "a\x95/", 1},
      {"表 bytes are two singles", "/x/" + kHyo, 0},
      {"2047 bytes ending in separator", std::string(2046, 'a') + "/", 1},
      {"2048 bytes ending in separator", std::string(2047, 'a') + "/", -2},
  };
  for (const EndsCase& c : cases) {
    EXPECT_EQ(EndsWithSeparator(c.path, Slash()), c.expected) << c.label;
  }
}

TEST(EndsWithSeparator, NativeSeparatorWithShiftJisLeadBytes) {
  const PathSyntax syntax{'/', false, LeadByteSet::ShiftJis()};
  EXPECT_EQ(EndsWithSeparator("/photos/" + kHyo + "/", syntax), 1);
  // '/' is below every second byte, so it is a separator even after a lone
  // lead byte.
  EXPECT_EQ(EndsWithSeparator("/photos/\x95/", syntax), 1);
  EXPECT_EQ(EndsWithSeparator("/photos/" + kHyo, syntax), 0);
  EXPECT_EQ(EndsWithSeparator("/photos/\x95", syntax), 0);
}

std::string Repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

struct WithCase {
  const char* label;
  std::string path;
  std::string expected;
};

TEST(WithSeparator, AddsExactlyOneSeparatorWhenNoneEndsTheText) {
  const std::vector<WithCase> windows = {
      {"folder", "C:\\Photos", "C:\\Photos\\"},
      {"drive root unchanged", "C:\\", "C:\\"},
      {"already there", "C:\\Photos\\", "C:\\Photos\\"},
      {"empty", "", "\\"},
      {"ends in 表", "C:\\" + kHyo, "C:\\" + kHyo + "\\"},
      {"表 then separator unchanged", "C:\\" + kHyo + "\\", "C:\\" + kHyo + "\\"},
      {"lone lead byte", "C:\\a\x95", "C:\\a\x95\\"},
      {"forward slash", "C:/Photos/", "C:/Photos/\\"},
      // Unlike EndsWithSeparator, any length is examined.
      {"2048 bytes ending in separator", std::string(2047, 'a') + "\\",
       std::string(2047, 'a') + "\\"},
      {"2048 bytes ending in 表", std::string(2046, 'a') + kHyo,
       std::string(2046, 'a') + kHyo + "\\"},
      {"5000 bytes of 表 and a separator", Repeated(kHyo, 2500) + "\\",
       Repeated(kHyo, 2500) + "\\"},
      {"5000 bytes ending in 表", std::string(5000, 'a') + kHyo,
       std::string(5000, 'a') + kHyo + "\\"},
  };
  for (const WithCase& c : windows) {
    EXPECT_EQ(WithSeparator(c.path, Sjis()), c.expected) << c.label;
  }
  const std::vector<WithCase> native = {
      {"folder", "/home/photos", "/home/photos/"},
      {"root unchanged", "/", "/"},
      {"already there", "/home/photos/", "/home/photos/"},
      {"empty", "", "/"},
      {"backslash is ordinary", "a\\", "a\\/"},
      {"2048 bytes ending in separator", std::string(2047, 'a') + "/",
       std::string(2047, 'a') + "/"},
      {"2048 bytes", std::string(2048, 'a'), std::string(2048, 'a') + "/"},
      {"5000 bytes ending in separator", std::string(4999, 'a') + "/",
       std::string(4999, 'a') + "/"},
  };
  for (const WithCase& c : native) {
    EXPECT_EQ(WithSeparator(c.path, Slash()), c.expected) << c.label;
  }
  // With the lead bytes of Shift-JIS the last byte still decides for '/'.
  const PathSyntax sjisSlash{'/', false, LeadByteSet::ShiftJis()};
  const std::vector<WithCase> nativeShiftJis = {
      {"after 表", "/x/" + kHyo, "/x/" + kHyo + "/"},
      {"after a lone lead byte", "/x/\x95/", "/x/\x95/"},
      {"lone lead byte at the end", "/x/\x95", "/x/\x95/"},
      {"3000 bytes of 表 and a separator", Repeated(kHyo, 1500) + "/", Repeated(kHyo, 1500) + "/"},
      {"3001 lead bytes and a separator", std::string(3001, '\x95') + "/",
       std::string(3001, '\x95') + "/"},
  };
  for (const WithCase& c : nativeShiftJis) {
    EXPECT_EQ(WithSeparator(c.path, sjisSlash), c.expected) << c.label;
  }
}

struct ForbiddenCase {
  const char* label;
  std::string name;
  std::int32_t expected;
};

TEST(HasForbiddenChar, NineCharactersOfSingleBytesOnly) {
  const std::vector<ForbiddenCase> cases = {
      {"a:b", "a:b", 1},
      {"ab", "ab", -1},
      {"lone ?", "?", 0},
      {"empty", "", -1},
      {"a?b", "a?b", 1},
      {"x<y", "x<y", 1},
      {"first one found", "ab*c?", 2},
      {"pipe allowed", "a|b", -1},
      {"slash allowed", "a/b", -1},
      {"bracket allowed", "a]b", -1},
      {"backslash allowed", "a\\b", -1},
      {"blanks allowed", "   ", -1},
      {"表 only", kHyo + kHyo, -1},
      // 0x81 0x3F is one character even though its second byte is '?'.
      {"pair with '?' second byte", "\x81?", -1},
      {"forbidden after a pair", "\x81??", 2},
      {"forbidden after 表", kHyo + ":", 2},
      {"half-width katakana", kHalfWidth + "\xDF\xA1", -1},
      {"half-width katakana before '='", kHalfWidth + "=", 2},
      // A lead byte with nothing after it is one byte of its own.
      {"lone lead byte at the end", "ab\x81", -1},
      {"lone lead byte before nothing else", "\x81", -1},
  };
  for (const ForbiddenCase& c : cases) {
    EXPECT_EQ(HasForbiddenChar(c.name, ForbiddenNameChars, Sjis()), c.expected) << c.label;
  }
  for (const char c : ForbiddenNameChars) {
    EXPECT_EQ(HasForbiddenChar(std::string("ok") + c, ForbiddenNameChars, Sjis()), 2)
        << "character " << c;
  }
  EXPECT_EQ(ForbiddenNameChars.size(), 9u);
}

TEST(HasForbiddenChar, BytesFromEightyUpNeverCountEvenWhenInTheSet) {
  EXPECT_EQ(HasForbiddenChar("\xB1", "\xB1", Sjis()), -1);
  EXPECT_EQ(HasForbiddenChar("\x95", "\x95", Slash()), -1);
}

TEST(HasForbiddenChar, NativeStyleHasNoPairs) {
  EXPECT_EQ(HasForbiddenChar("\x81?", ForbiddenNameChars, Slash()), 1);
  EXPECT_EQ(HasForbiddenChar("写真2008", ForbiddenNameChars, Slash()), -1);  // UTF-8
  EXPECT_EQ(HasForbiddenChar("写真:2008", ForbiddenNameChars, Slash()), 6);
}

}  // namespace
}  // namespace quorvale
