#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// Every output of a run of all photo kinds ends in ".jpg"; no two share a
// name, whatever their order, and the same list gives the same names.
TEST(MapOutputPaths, GivesEveryPhotoANameOfItsOwn) {
  using Names = std::vector<std::string>;
  const struct {
    const char* label;
    bool jpgNames;
    Names inputs;   // under /in/
    Names outputs;  // under /out/
    Names shared;   // the name each would have had when renamed, else empty
  } cases[] = {
      {"names kept without every kind",
       false,
       {"a.heic", "a.jpg", "b.jpeg"},
       {"a.heic", "a.jpg", "b.jpeg"},
       {"", "", ""}},
      {"each kind made .jpg",
       true,
       {"a.heic", "b.PNG", "c.jpeg", "d.JPG", "sub/e.jfif"},
       {"a.jpg", "b.jpg", "c.jpg", "d.JPG", "sub/e.jpg"},
       {"", "", "", "", ""}},
      {"the .jpg photo keeps the name",
       true,
       {"a.heic", "a.jpg", "a.png"},
       {"a.heic.jpg", "a.jpg", "a.png.jpg"},
       {"/out/a.jpg", "", "/out/a.jpg"}},
      {"without a .jpg photo all are renamed",
       true,
       {"a.jpeg", "a.png"},
       {"a.jpeg.jpg", "a.png.jpg"},
       {"/out/a.jpg", "/out/a.jpg"}},
      {"another case is another name", true, {"a.JPG", "a.heic"}, {"a.JPG", "a.jpg"}, {"", ""}},
      {"other folders do not meet",
       true,
       {"a.heic", "sub/a.jpg"},
       {"a.jpg", "sub/a.jpg"},
       {"", ""}},
      {"a renamed name taken too",
       true,
       {"a.heic", "a.heic.jpg", "a.jpg"},
       {"a.heic.jpg.jpg", "a.heic.jpg", "a.jpg"},
       {"/out/a.jpg", "", ""}},
      {"a dot only in a folder name", true, {"x.d/photo"}, {"x.d/photo.jpg"}, {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Names inputs;
    for (const std::string& name : c.inputs) inputs.push_back("/in/" + name);
    const OutputPaths mapped = MapOutputPaths(inputs, "/in/", "/out", c.jpgNames);
    Names outputs;
    for (const std::optional<std::string>& path : mapped.paths)
      outputs.push_back(path.value_or("-"));
    Names expected;
    for (const std::string& name : c.outputs) expected.push_back("/out/" + name);
    EXPECT_EQ(outputs, expected);
    EXPECT_EQ(mapped.shared, c.shared);
  }
}

}  // namespace
}  // namespace quorvale
