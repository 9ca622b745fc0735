#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "messages/Messages.h"

namespace quorvale {
namespace {

TEST(FindSize, IdsOtherNamesAndCaptionNames) {
  // The id found; "" for a name refused.
  const std::pair<const char*, const char*> cases[] = {
      {"l", "L"},
      {"はがき", "hagaki"},
      {"KG", "hagaki"},
      {"W六切", "w-mutsugiri"},
      {"w四切", "w-yotsugiri"},
      {"SXGA", "sxga"},
      {"ld", "dsc"},
      {"郵便はがき", "postcard"},
      {"はがき 102mm×152mm", ""},
      {"", ""},
      {"はが", ""},
  };
  for (const auto& [name, id] : cases) {
    const std::optional<std::size_t> row = FindSize(name);
    EXPECT_EQ(row ? SizeTable()[*row].id : "", std::string(id)) << name;
  }
}

}  // namespace
}  // namespace quorvale
