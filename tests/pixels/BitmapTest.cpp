#include <gtest/gtest.h>

#include "pixels/Bitmap.h"

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

TEST(Bitmap, StretchPicksCentresOfEvenlySpreadSourcePixels) {
  struct Case {
    int sourceWidth, targetWidth;
    std::vector<int> columns;  // source column of each target column
  };
  const Case cases[] = {
      {8, 4, {1, 3, 5, 7}},     // one out of each pair
      {5, 5, {0, 1, 2, 3, 4}},  // 1:1
      {5, 4, {0, 1, 3, 4}},     // one column dropped in the middle
      {3, 1, {1}},
  };
  for (const Case& c : cases) {
    Bitmap source(c.sourceWidth, c.sourceWidth);
    Paint(source);
    Bitmap target(c.targetWidth, c.targetWidth);
    target.StretchFrom(source, c.targetWidth, c.targetWidth);
    for (int x = 0; x < c.targetWidth; ++x) {
      EXPECT_TRUE(IsPixel(target, x, x, c.columns[x], c.columns[x], 7))
          << c.sourceWidth << "->" << c.targetWidth << " at " << x;
    }
  }
}

// Every target pixel, on shrinking, enlarging and from a cropped source whose
// last column is the last of its memory, is the source pixel of the rule.
TEST(Bitmap, StretchCopiesWholePixelsAndStaysInsideTheSource) {
  struct Case {
    int sourceWidth, sourceHeight, targetWidth, targetHeight;
    bool crop;  // take the source's bottom-right part, up to its memory's end
  };
  const Case cases[] = {
      {4, 3, 7, 5, false},   // enlarging: 4 * 3 bytes per row, no padding to read into
      {4, 4, 4, 4, false},   // 1:1
      {9, 7, 2, 3, false},   // shrinking both ways
      {12, 6, 5, 6, true},   // cropped to the right edge of unpadded rows
      {1, 5, 3, 2, false},   // a single source column
      {16, 8, 16, 1, true},  // the last row of the memory
      // Rows of a photo, picks 2 and 2.85 source pixels apart, and enlarging.
      {4040, 2, 2000, 2, true},
      {5706, 2, 2000, 1, false},
      {100, 1, 250, 1, true},
  };
  for (const Case& c : cases) {
    Bitmap whole(c.sourceWidth + (c.crop ? 4 : 0), c.sourceHeight + (c.crop ? 2 : 0));
    Paint(whole);
    Bitmap source = whole;
    if (c.crop) source.Crop(4, 2, c.sourceWidth, c.sourceHeight);
    Bitmap target(c.targetWidth, c.targetHeight);
    target.StretchFrom(source, c.targetWidth, c.targetHeight);
    for (int y = 0; y < c.targetHeight; ++y) {
      const int sy = (2 * y + 1) * c.sourceHeight / (2 * c.targetHeight);
      for (int x = 0; x < c.targetWidth; ++x) {
        const int sx = (2 * x + 1) * c.sourceWidth / (2 * c.targetWidth);
        const std::uint8_t* expected = source.Row(sy) + 3 * sx;
        ASSERT_TRUE(IsPixel(target, x, y, expected[0], expected[1], expected[2]))
            << c.sourceWidth << "x" << c.sourceHeight << "->" << c.targetWidth << "x"
            << c.targetHeight << " at " << x << "," << y;
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
