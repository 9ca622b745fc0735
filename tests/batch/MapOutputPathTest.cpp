#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "batch/BatchRun.h"

namespace quorvale {
namespace {

TEST(MapOutputPath, MapsByByteCount) {
  const struct {
    const char* label;
    std::string inputPath;
    std::string inputFolder;
    std::string outputFolder;
    std::optional<std::string> expected;
  } cases[] = {
      {"subfolder recreated", "/in/sub/a.jpg", "/in/", "/out", "/out/sub/a.jpg"},
      {"output separator kept", "/in/a.jpg", "/in/", "/out/", "/out/a.jpg"},
      // The remainder after a folder text without its separator keeps the
      // leading separator, so two stand in a row.
      {"doubled separator", "/in/a.jpg", "/in", "/out/", "/out//a.jpg"},
      {"root output", "/in/a.jpg", "/in/", "/", "/a.jpg"},
      {"input shorter than folder", "/in/a.jpg", "/in/abcdefgh/", "/out", std::nullopt},
      {"input equals folder", "/in/", "/in/", "/out", "/out/"},
      // Only the byte count of the folder text matters, not its bytes.
      {"by count, not text", "/in/a.jpg", "/zz/", "/out", "/out/a.jpg"},
      {"Japanese names", "/写真/夏 休み/a.JPG", "/写真/", "/出力", "/出力/夏 休み/a.JPG"},
      // 表 in Shift-JIS ends in the byte of a backslash, which is no separator.
      {"Shift-JIS output folder", "/in/a.jpg", "/in/", "/\x95\x5C", "/\x95\x5C/a.jpg"},
      // Past the 2047-byte limit the mapping still gives the whole path;
      // the run refuses it rather than cutting it.
      {"long path kept whole", "/in/" + std::string(3000, 'x') + ".jpg", "/in/", "/o",
       "/o/" + std::string(3000, 'x') + ".jpg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapOutputPath(c.inputPath, c.inputFolder, c.outputFolder), c.expected) << c.label;
  }
}

}  // namespace
}  // namespace quorvale
