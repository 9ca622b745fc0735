// The reduced decode of the preview: the scale it picks, the picture's own
// size beside it, and a file cut short.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

// The preview of the photo file at `path`, and the picture's own size.
DecodeResult Preview(const std::string& path, Bitmap& bitmap, int longSide, PixelSize& picture) {
  const OpenedPhoto opened = OpenPhotoFile(path);
  if (!opened.reader) return opened.failure;
  picture = opened.reader->Header().size;
  return opened.reader->DecodePreview(bitmap, longSide);
}

// Left half red, right half blue, so that a reduction that mixed up its
// columns or its colours shows.
testing::Rgb Halves(int x, int, int width) {
  return x < width / 2 ? testing::Rgb{220, 20, 20} : testing::Rgb{20, 20, 220};
}

TEST(DecodePreview, TakesTheSmallestScaleThatKeepsTheLongSide) {
  const struct {
    int width, height, longSide;
    bool grayscale, progressive;
    int expectedWidth, expectedHeight;
  } rows[] = {
      {1600, 1200, 160, false, false, 200, 150},  // 1/8
      {1600, 1200, 201, false, false, 400, 300},  // 1/4: 1/8 would be 200
      {1200, 1601, 160, false, true, 150, 201},   // sides rounded up
      {300, 200, 160, false, false, 300, 200},    // too small to reduce
      {1600, 1200, 160, true, false, 200, 150},
  };
  testing::Sandbox box;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + " x " + std::to_string(row.height));
    box.Write("a.jpg",
              testing::MakeJpeg(row.width, row.height,
                                [&](int x, int y) { return Halves(x, y, row.width); },
                                {.grayscale = row.grayscale, .progressive = row.progressive}));
    Bitmap bitmap;
    PixelSize picture{};
    ASSERT_TRUE(Preview(box.Path("a.jpg"), bitmap, row.longSide, picture).Ok());
    EXPECT_EQ(picture, (PixelSize{row.width, row.height}));
    ASSERT_EQ(bitmap.Width(), row.expectedWidth);
    ASSERT_EQ(bitmap.Height(), row.expectedHeight);
    const int y = bitmap.Height() / 2;
    const std::uint8_t* left = bitmap.Row(y) + 3 * 2;
    const std::uint8_t* right = bitmap.Row(y) + 3 * (bitmap.Width() - 3);
    EXPECT_NEAR(left[2], 220, 8);  // BGR: red of the left half, or its grey
    EXPECT_NEAR(right[0], row.grayscale ? 20 : 220, 8);
  }
}

// Cut in half: the rows that are there are kept, the rest grey, as the
// full decode does.
TEST(DecodePreview, KeepsTheRowsOfAFileCutShort) {
  testing::Sandbox box;
  const std::string whole = testing::MakeJpeg(800, 600, testing::PhotoPixel);
  box.Write("half.jpg", whole.substr(0, whole.size() / 2));
  Bitmap bitmap;
  PixelSize picture{};
  const DecodeResult result = Preview(box.Path("half.jpg"), bitmap, 100, picture);
  EXPECT_TRUE(result.Ok());
  EXPECT_GT(result.warnings, 0);
  EXPECT_EQ(bitmap.Width(), 100);
}

}  // namespace
}  // namespace quorvale
