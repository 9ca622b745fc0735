#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "batch/BatchRun.h"

namespace quorvale {
namespace {

struct MappingCase {
  const char* name;
  std::string inputPath;
  std::string inputFolder;
  std::string outputFolder;
  std::optional<std::string> expected;
};

class MapOutputPathWindows : public ::testing::TestWithParam<MappingCase> {};

TEST_P(MapOutputPathWindows, MapsByByteCount) {
  const MappingCase& c = GetParam();
  EXPECT_EQ(MapOutputPath(c.inputPath, c.inputFolder, c.outputFolder, PathSyntax::Windows()),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapOutputPathWindows,
    ::testing::Values(
        MappingCase{"SubfolderRecreated", "C:\\in\\sub\\a.jpg", "C:\\in\\", "D:\\out",
                    "D:\\out\\sub\\a.jpg"},
        MappingCase{"OutputSeparatorKept", "C:\\in\\a.jpg", "C:\\in\\", "D:\\out\\",
                    "D:\\out\\a.jpg"},
        // The remainder after a folder text without its separator keeps the
        // leading separator, so two stand in a row.
        MappingCase{"DoubledSeparator", "C:\\in\\a.jpg", "C:\\in", "D:\\out\\", "D:\\out\\\\a.jpg"},
        MappingCase{"DriveRootOutput", "C:\\in\\a.jpg", "C:\\in\\", "D:\\", "D:\\a.jpg"},
        MappingCase{"InputShorterThanFolder", "C:\\in\\a.jpg", "C:\\in\\longer\\", "D:\\out",
                    std::nullopt},
        MappingCase{"InputEqualsFolder", "C:\\in\\", "C:\\in\\", "D:\\out", "D:\\out\\"},
        // Only the byte count of the folder text matters, not its bytes.
        MappingCase{"ByCountNotText", "C:\\in\\a.jpg", "X:\\zz\\", "D:\\out", "D:\\out\\a.jpg"},
        // 表 is 0x95 0x5C in Shift-JIS: its trail byte is no separator.
        MappingCase{"TrailByteIsNoSeparator", "C:\\in\\a.jpg", "C:\\in\\", "D:\\\x95\x5C",
                    "D:\\\x95\x5C\\a.jpg"},
        MappingCase{"DoubleByteInRemainder", "C:\\in\\\x95\x5C\\a.jpg", "C:\\in\\", "D:\\out",
                    "D:\\out\\\x95\x5C\\a.jpg"}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return info.param.name; });

class MapOutputPathNative : public ::testing::TestWithParam<MappingCase> {};

TEST_P(MapOutputPathNative, MapsByByteCount) {
  const MappingCase& c = GetParam();
  EXPECT_EQ(MapOutputPath(c.inputPath, c.inputFolder, c.outputFolder), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapOutputPathNative,
    ::testing::Values(
        MappingCase{"SubfolderRecreated", "/in/sub/a.jpg", "/in/", "/out", "/out/sub/a.jpg"},
        MappingCase{"DoubledSeparator", "/in/a.jpg", "/in", "/out/", "/out//a.jpg"},
        MappingCase{"RootOutput", "/in/a.jpg", "/in/", "/", "/a.jpg"},
        MappingCase{"InputShorterThanFolder", "/in/a.jpg", "/in/abcdefgh/", "/out", std::nullopt},
        MappingCase{"JapaneseNames", "/写真/夏 休み/a.JPG", "/写真/", "/出力",
                    "/出力/夏 休み/a.JPG"},
        // Past the 2047-byte limit the mapping still gives the whole path;
        // the run refuses it rather than cutting it.
        MappingCase{"LongPathKeptWhole", "/in/" + std::string(3000, 'x') + ".jpg", "/in/", "/o",
                    "/o/" + std::string(3000, 'x') + ".jpg"}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return info.param.name; });

}  // namespace
}  // namespace quorvale
