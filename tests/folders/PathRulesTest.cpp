#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "folders/Nfc.h"
#include "folders/PathRules.h"

namespace quorvale {
namespace {

// 表 in Shift-JIS: a lead byte followed by the value of a backslash.
const std::string kHyo = "\x95\x5C";
// ア in half-width katakana: a single byte above 0x80.
const std::string kHalfWidth = "\xB1";

TEST(WithSeparator, AddsExactlyOneSeparatorAtAnyLength) {
  const struct {
    const char* label;
    std::string path;
    std::string expected;
  } cases[] = {
      {"folder", "/home/photos", "/home/photos/"},
      {"root unchanged", "/", "/"},
      {"already there", "/home/photos/", "/home/photos/"},
      {"empty", "", "/"},
      {"backslash is ordinary", "a\\", "a\\/"},
      {"after 表", "/x/" + kHyo, "/x/" + kHyo + "/"},
      {"3001 lead bytes and a separator", std::string(3001, '\x95') + "/",
       std::string(3001, '\x95') + "/"},
      {"2048 bytes", std::string(2048, 'a'), std::string(2048, 'a') + "/"},
      {"5000 bytes ending in separator", std::string(4999, 'a') + "/",
       std::string(4999, 'a') + "/"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithSeparator(c.path), c.expected) << c.label;
}

TEST(HasForbiddenChar, FirstOfTheNineCharacters) {
  const struct {
    const char* label;
    std::string name;
    std::int32_t expected;
  } cases[] = {
      {"a:b", "a:b", 1},
      {"ab", "ab", -1},
      {"lone ?", "?", 0},
      {"empty", "", -1},
      {"first one found", "ab*c?", 2},
      {"pipe allowed", "a|b", -1},
      {"slash allowed", "a/b", -1},
      {"bracket allowed", "a]b", -1},
      {"backslash allowed", "a\\b", -1},
      {"blanks allowed", "   ", -1},
      {"表 only", kHyo + kHyo, -1},
      {"forbidden after 表", kHyo + ":", 2},
      {"half-width katakana before '='", kHalfWidth + "=", 1},
      {"UTF-8", "写真2008", -1},
      {"forbidden after UTF-8", "写真:2008", 6},
  };
  for (const auto& c : cases) EXPECT_EQ(HasForbiddenChar(c.name), c.expected) << c.label;
}

TEST(FolderOfPath, TakesTheTextBeforeTheLastSeparator) {
  const std::pair<std::string, std::string> rows[] = {
      {"/out/a.jpg", "/out"},
      {"/a.jpg", "/"},
      {"out/sub/a.jpg", "out/sub"},
      {"/out//a.jpg", "/out//"},
      {"//a.jpg", "//"},
      {"a.jpg", ""},
      {"D:a.jpg", ""},
      // 表 in Shift-JIS ends in the byte of a backslash, which is no separator.
      {"/\x95\x5C/\x95\x5C.jpg", "/\x95\x5C"},
  };
  for (const auto& [path, folder] : rows) EXPECT_EQ(FolderOfPath(path), folder) << path;
}

}  // namespace
}  // namespace quorvale

namespace quorvale {
namespace {

// Names spelled with their marks apart (as a Mac names files) come out as
// the same letters written together; what is not such a mark stays.
TEST(ComposeNfc, ComposesMarksWithTheirBaseOnly) {
  const struct {
    const char* label;
    std::string text;
    std::string expected;
  } cases[] = {
      {"ascii", "sub/a.jpg", "sub/a.jpg"},
      {"acute", "cafe\xCC\x81.jpg", "caf\xC3\xA9.jpg"},
      {"already composed", "caf\xC3\xA9", "caf\xC3\xA9"},
      {"dakuten", "\xE3\x81\x8B\xE3\x82\x99", "\xE3\x81\x8C"},              // か + ゛ = が
      {"handakuten katakana", "\xE3\x83\x8F\xE3\x82\x9A", "\xE3\x83\x91"},  // ハ + ゜ = パ
      {"no voiced form", "\xE3\x81\x82\xE3\x82\x99", "\xE3\x81\x82\xE3\x82\x99"},  // あ + ゛
      {"below then above", "e\xCC\xA3\xCC\x82", "\xE1\xBB\x87"},                   // ệ
      {"second acute blocked", "a\xCC\x81\xCC\x81", "\xC3\xA1\xCC\x81"},
      {"mark first",
       "\xCC\x81"
       "a",
       "\xCC\x81"
       "a"},
      {"bad byte between", "e\xFF\xCC\x81", "e\xFF\xCC\x81"},
      {"cut mark", "e\xCC", "e\xCC"},
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeNfc(c.text), c.expected) << c.label;
}

}  // namespace
}  // namespace quorvale
