#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "messages/Messages.h"

namespace quorvale {
namespace {

TEST(FindSize, IdsOtherNamesAndCaptionNames) {
  const struct {
    const char* name;
    const char* id;  // nullptr: refused
  } cases[] = {
      {"L", "L"},
      {"l", "L"},
      {"HAGAKI", "hagaki"},
      {"はがき", "hagaki"},
      {"KG", "hagaki"},
      {"kg", "hagaki"},
      {"八切", "yatsugiri"},
      {"W六切", "w-mutsugiri"},
      {"w四切", "w-yotsugiri"},
      {"4Base", "4base"},
      {"SXGA", "sxga"},
      {"dsc", "dsc"},
      {"LD", "dsc"},
      {"郵便はがき", "postcard"},
      {"postcard", "postcard"},
      {"はがき 102mm×152mm", nullptr},
      {"", nullptr},
      {"XL", nullptr},
      {"はが", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::size_t> row = FindSize(c.name);
    if (c.id == nullptr) {
      EXPECT_FALSE(row) << c.name;
    } else {
      ASSERT_TRUE(row) << c.name;
      EXPECT_EQ(std::string(SizeTable()[*row].id), c.id) << c.name;
    }
  }
}

}  // namespace
}  // namespace quorvale
