#include <gtest/gtest.h>

#include "imaging/Bitmap.h"

namespace quorvale {
namespace {

// Fills every pixel with values that name its coordinates.
void Paint(Bitmap& bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x);
      row[3 * x + 1] = static_cast<std::uint8_t>(y);
      row[3 * x + 2] = 7;
    }
  }
}

bool IsPixel(const Bitmap& bitmap, int x, int y, int b, int g, int r) {
  const std::uint8_t* p = bitmap.Row(y) + 3 * x;
  return p[0] == b && p[1] == g && p[2] == r;
}

TEST(Bitmap, RowsArePaddedToFourBytes) {
  for (int width : {1, 2, 3, 4, 5, 333}) {
    Bitmap bitmap(width, 2);
    EXPECT_EQ(bitmap.Stride() % 4, 0);
    EXPECT_GE(bitmap.Stride(), width * 3);
    EXPECT_LT(bitmap.Stride(), width * 3 + 4);
  }
}

TEST(Bitmap, ResizeKeepsTopLeftAndFillsNewAreaWhite) {
  Bitmap bitmap(4, 3);
  Paint(bitmap);
  bitmap.SetWidth(6);
  bitmap.SetHeight(5);
  EXPECT_EQ(bitmap.Width(), 6);
  EXPECT_EQ(bitmap.Height(), 5);
  EXPECT_TRUE(IsPixel(bitmap, 3, 2, 3, 2, 7));
  EXPECT_TRUE(IsPixel(bitmap, 4, 0, 255, 255, 255));
  EXPECT_TRUE(IsPixel(bitmap, 0, 4, 255, 255, 255));
  bitmap.SetSize(2, 2);
  EXPECT_TRUE(IsPixel(bitmap, 1, 1, 1, 1, 7));
  // Growing again after a shrink shows white, not the old pixels.
  bitmap.SetSize(3, 2);
  EXPECT_TRUE(IsPixel(bitmap, 2, 1, 255, 255, 255));
}

TEST(Bitmap, CropAndCopyRectMovePixelsUnchanged) {
  Bitmap source(10, 8);
  Paint(source);
  Bitmap copy = source;
  copy.Crop(3, 2, 4, 5);
  EXPECT_EQ(copy.Width(), 4);
  EXPECT_TRUE(IsPixel(copy, 0, 0, 3, 2, 7));
  EXPECT_TRUE(IsPixel(copy, 3, 4, 6, 6, 7));
  Bitmap target(5, 5);
  target.CopyRect(source, 1, 1, 2, 2, 3, 3);
  EXPECT_TRUE(IsPixel(target, 3, 3, 1, 1, 7));
  EXPECT_TRUE(IsPixel(target, 4, 4, 2, 2, 7));
  EXPECT_TRUE(IsPixel(target, 2, 2, 255, 255, 255));
}

TEST(Bitmap, ShrinkPicksCentresOfEvenlySpreadPixels) {
  struct Case {
    int width, targetWidth;
    std::vector<int> columns;  // old column of each new column
  };
  const Case cases[] = {
      {8, 4, {1, 3, 5, 7}},     // one out of each pair
      {5, 5, {0, 1, 2, 3, 4}},  // 1:1
      {5, 4, {0, 1, 3, 4}},     // one column dropped in the middle
      {3, 1, {1}},
  };
  for (const Case& c : cases) {
    Bitmap bitmap(c.width, c.width);
    Paint(bitmap);
    bitmap.Shrink(c.targetWidth, c.targetWidth);
    ASSERT_EQ(bitmap.Width(), c.targetWidth);
    for (int x = 0; x < c.targetWidth; ++x) {
      EXPECT_TRUE(IsPixel(bitmap, x, x, c.columns[x], c.columns[x], 7))
          << c.width << "->" << c.targetWidth << " at " << x;
    }
  }
}

// Every new pixel is the old pixel of the rule, though the result is written
// over the same memory: whether rows or columns alone are dropped (a result
// row then lies over the row it is read from), from a cropped bitmap whose
// last column is the last of its memory, or from one cropped away from it.
TEST(Bitmap, ShrinkInPlaceCopiesWholePixelsAndSpoilsNoneStillToBeRead) {
  struct Case {
    int width, height, targetWidth, targetHeight;
    int left, top;  // the crop taken first from a bitmap 4 wider and 2 higher, if any
    bool crop;
  };
  const Case cases[] = {
      {4, 4, 4, 4, 0, 0, false},    // 1:1
      {9, 7, 2, 3, 0, 0, false},    // shrinking both ways
      {12, 6, 12, 5, 0, 0, false},  // rows only
      {16, 8, 5, 8, 0, 0, false},   // columns only
      {7, 3, 6, 3, 0, 0, false},    // columns only, the first three kept where they are
      {12, 6, 5, 6, 4, 2, true},    // cropped to the right edge of unpadded rows
      {12, 6, 11, 5, 1, 1, true},   // cropped away from every edge
      {1, 5, 1, 2, 0, 0, false},    // a single column
      {16, 8, 16, 1, 4, 2, true},   // the last row of the memory
  };
  for (const Case& c : cases) {
    Bitmap bitmap(c.width + (c.crop ? 4 : 0), c.height + (c.crop ? 2 : 0));
    Paint(bitmap);
    if (c.crop) bitmap.Crop(c.left, c.top, c.width, c.height);
    const Bitmap before = bitmap;
    bitmap.Shrink(c.targetWidth, c.targetHeight);
    ASSERT_EQ(bitmap.Width(), c.targetWidth);
    ASSERT_EQ(bitmap.Height(), c.targetHeight);
    for (int y = 0; y < c.targetHeight; ++y) {
      const int sy = (2 * y + 1) * c.height / (2 * c.targetHeight);
      for (int x = 0; x < c.targetWidth; ++x) {
        const int sx = (2 * x + 1) * c.width / (2 * c.targetWidth);
        const std::uint8_t* expected = before.Row(sy) + 3 * sx;
        EXPECT_TRUE(IsPixel(bitmap, x, y, expected[0], expected[1], expected[2]))
            << c.width << "x" << c.height << "->" << c.targetWidth << "x" << c.targetHeight
            << " at " << x << "," << y;
      }
    }
  }
}

TEST(Bitmap, AllocateReusesMemoryOfALargerPicture) {
  Bitmap bitmap(100, 100);
  const std::uint8_t* before = bitmap.Row(0);
  bitmap.Allocate(50, 60);
  EXPECT_EQ(bitmap.Row(0), before);
  EXPECT_EQ(bitmap.Stride(), RowBytes(50));
}

}  // namespace
}  // namespace quorvale
