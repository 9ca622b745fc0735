// The crop file writer, read back by the reader that --crops uses.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "batch/CropFile.h"

namespace quorvale {
namespace {

TEST(WriteCropFile, ReadsBackAsWritten) {
  const std::map<std::string, double> cases[] = {
      {},
      // Shortest numbers that still read back to the same double.
      {{"x.jpg", 0.1}, {"y.jpg", 1.0 / 3}, {"z.jpg", 1e-7}, {"w.jpg", std::nextafter(1.0, 0.0)}},
      // Quotes, backslashes, control characters, a folder, Japanese and bytes that are
      // no UTF-8 at all.
      {{"q\"uo\\te.jpg", 0.25},
       {"tab\there\n.jpg", 0.75},
       {"写真/犬.jpg", 0.2},
       {std::string("\x82\xa0\xff.jpg"), 0.9}},
  };
  for (const auto& positions : cases) {
    const std::string text = WriteCropFile(positions);
    SCOPED_TRACE(text);
    const CropFile read = ParseCropFile(text);
    ASSERT_FALSE(read.error) << read.error->line;
    EXPECT_EQ(read.positions, positions);
  }
}

TEST(WriteCropFile, OneEntryALineAndOutOfRangePositionsAtTheNearerEnd) {
  EXPECT_EQ(WriteCropFile({{"a.jpg", -0.0}, {"b.jpg", 0.5}}),
            "{\n  \"a.jpg\": 0,\n  \"b.jpg\": 0.5\n}\n");
  const CropFile read =
      ParseCropFile(WriteCropFile({{"low.jpg", -2.0},
                                   {"high.jpg", 7.0},
                                   {"nan.jpg", std::numeric_limits<double>::quiet_NaN()},
                                   {"inf.jpg", std::numeric_limits<double>::infinity()}}));
  ASSERT_FALSE(read.error);
  EXPECT_EQ(read.positions,
            (std::map<std::string, double>{
                {"low.jpg", 0.0}, {"high.jpg", 1.0}, {"nan.jpg", 0.5}, {"inf.jpg", 1.0}}));
}

}  // namespace
}  // namespace quorvale
