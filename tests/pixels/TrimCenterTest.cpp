#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "geometry/TrimPosition.h"
#include "pixels/Bitmap.h"
#include "pixels/TrimCenter.h"
#include "support/CodedBitmap.h"

namespace quorvale {
namespace {

using testing::CodedPhoto;
using testing::Origin;
using testing::SourceOf;

std::string Describe(const Origin& origin) {
  return "(" + std::to_string(origin.x) + ", " + std::to_string(origin.y) + ")";
}

struct TrimCase {
  int w, h;           // the photo
  int width, height;  // the crop asked for
  int result;         // 0 or -1
  int left, top;      // on success: the photo's column and row at the crop's (0, 0)
  const char* why;
};

// Thin photos stand in for large ones where only one direction matters:
// the margin arithmetic of each direction is independent of the other.
const TrimCase Cases[] = {
    {3000, 20, 2855, 20, 0, 72, 0, "3000 x 2000 to 2855 x 2000 keeps columns 72..2926"},
    {20, 3000, 20, 2855, 0, 0, 72, "portrait: rows 72..2926"},
    {11, 9, 8, 6, 0, 1, 1, "odd surplus of 3: one before, two after"},
    {10, 10, 9, 9, 0, 0, 0, "surplus of 1 goes to the right and bottom"},
    {12, 7, 12, 7, 0, 0, 0, "crop equal to the photo"},
    {1, 1, 1, 1, 0, 0, 0, "single pixel"},
    {7000, 40, 5710, 40, 0, 645, 0, "photo above 6200 whose crop is not"},
    {40, 7000, 40, 5710, 0, 0, 645, "the same upright"},
    {6200, 2, 6200, 2, 0, 0, 0, "crop width at the limit"},
    {2, 6200, 2, 6200, 0, 0, 0, "crop height at the limit"},
    {6201, 3, 6200, 2, 0, 0, 0, "6201-wide photo cut to 6200"},
    {6201, 2, 6201, 2, -1, 0, 0, "crop width one above the limit"},
    {2, 6201, 2, 6201, -1, 0, 0, "crop height one above the limit"},
    {9000, 60, 8565, 60, -1, 0, 0, "9000 x 6000 to 8565 x 6000"},
    {10, 10, 11, 10, -1, 0, 0, "one column wider than the photo"},
    {10, 10, 10, 11, -1, 0, 0, "one row taller than the photo"},
    {10, 10, 0, 10, -1, 0, 0, "zero width"},
    {10, 10, 10, 0, -1, 0, 0, "zero height"},
    {10, 10, -2, 10, -1, 0, 0, "negative width"},
};

TEST(TrimCenter, CutsTheCentreOrLeavesThePhotoAlone) {
  for (const TrimCase& c : Cases) {
    SCOPED_TRACE(c.why);
    Bitmap bitmap = CodedPhoto(c.w, c.h);
    const std::uint8_t* firstRow = bitmap.Row(0);
    ASSERT_EQ(TrimAt(bitmap, c.width, c.height, 0.5) == TrimStatus::Trimmed, c.result == 0);
    if (c.result != 0) {
      EXPECT_EQ(bitmap.Width(), c.w);
      EXPECT_EQ(bitmap.Height(), c.h);
      EXPECT_EQ(bitmap.Row(0), firstRow);
      EXPECT_EQ(SourceOf(bitmap, 0, 0, c.w), (Origin{0, 0}));
      EXPECT_EQ(SourceOf(bitmap, c.w - 1, c.h - 1, c.w), (Origin{c.w - 1, c.h - 1}));
      continue;
    }
    ASSERT_EQ(bitmap.Width(), c.width);
    ASSERT_EQ(bitmap.Height(), c.height);
    const int right = c.width - 1;
    const int bottom = c.height - 1;
    EXPECT_EQ(SourceOf(bitmap, 0, 0, c.w), (Origin{c.left, c.top}));
    EXPECT_EQ(SourceOf(bitmap, right, 0, c.w), (Origin{c.left + right, c.top}));
    EXPECT_EQ(SourceOf(bitmap, 0, bottom, c.w), (Origin{c.left, c.top + bottom}));
    EXPECT_EQ(SourceOf(bitmap, right, bottom, c.w), (Origin{c.left + right, c.top + bottom}))
        << Describe(SourceOf(bitmap, right, bottom, c.w));
  }
}

// A caller whose reduction is sized to the photo lifts the 6200 limit; the
// other refusals stand.
TEST(TrimCenter, ALiftedLimitTrimsLargePhotos) {
  struct Case {
    int w, h, width, height, maxSide, result, left, top;
  };
  const Case cases[] = {
      {9000, 60, 8565, 60, 65535, 0, 217, 0},
      {60, 9000, 60, 8565, 65535, 0, 0, 217},
      {8064, 3, 8064, 2, 8064, 0, 0, 0},
      {8065, 2, 8065, 2, 8064, -1, 0, 0},
      {9000, 60, 8565, 60, MaxPhotoSide, -1, 0, 0},
      {10, 10, 11, 10, 65535, -1, 0, 0},
      {10, 10, 0, 10, 65535, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " to " +
                 std::to_string(c.width) + " x " + std::to_string(c.height));
    Bitmap bitmap = CodedPhoto(c.w, c.h);
    ASSERT_EQ(TrimAt(bitmap, c.width, c.height, 0.5, c.maxSide) == TrimStatus::Trimmed,
              c.result == 0);
    if (c.result != 0) {
      EXPECT_EQ(bitmap.Width(), c.w);
      continue;
    }
    EXPECT_EQ(bitmap.Width(), c.width);
    EXPECT_EQ(bitmap.Height(), c.height);
    EXPECT_EQ(SourceOf(bitmap, 0, 0, c.w), (Origin{c.left, c.top}));
    EXPECT_EQ(SourceOf(bitmap, c.width - 1, c.height - 1, c.w),
              (Origin{c.left + c.width - 1, c.top + c.height - 1}));
  }
}

TEST(TrimCenter, EveryPixelPassesThroughUnchanged) {
  Bitmap bitmap = CodedPhoto(37, 23);
  ASSERT_EQ(TrimAt(bitmap, 30, 14, 0.5), TrimStatus::Trimmed);
  for (int y = 0; y < 14; ++y) {
    for (int x = 0; x < 30; ++x) {
      ASSERT_EQ(SourceOf(bitmap, x, y, 37), (Origin{x + 3, y + 4})) << x << ", " << y;
    }
  }
}

TEST(TrimCenter, MarginsAddUpOverRepeatedTrims) {
  Bitmap bitmap = CodedPhoto(20, 12);
  ASSERT_EQ(TrimAt(bitmap, 16, 10, 0.5), TrimStatus::Trimmed);  // columns 2..17, rows 1..10
  ASSERT_EQ(TrimAt(bitmap, 10, 4, 0.5), TrimStatus::Trimmed);  // of those, columns 3..12, rows 3..6
  EXPECT_EQ(SourceOf(bitmap, 0, 0, 20), (Origin{5, 4}));
  EXPECT_EQ(SourceOf(bitmap, 9, 3, 20), (Origin{14, 7}));
}

TEST(TrimOffset, RoundsHalvesDownSoThatTheCentreTruncates) {
  const struct {
    std::int32_t surplus;
    double position;
    std::int32_t offset;
  } cases[] = {{7, 0.0, 0},   {7, 1.0, 7},   {7, 0.5, 3},   {8, 0.5, 4},  {1, 0.5, 0},
               {10, 0.35, 3}, {10, 0.75, 7}, {4, 0.375, 1}, {7, -2.0, 0}, {7, 3.0, 7},
               {7, NAN, 3},   {0, 1.0, 0},   {-5, 0.5, 0}};
  for (const auto& c : cases) EXPECT_EQ(TrimOffset(c.surplus, c.position), c.offset) << c.position;
}

// At 0.5 the rectangle is where the centre trim cuts; at 0 and 1 it touches the
// edges of the free axis.
TEST(ComputeTrimRect, PlacesTheCropAlongTheFreeAxis) {
  for (std::size_t size = 0; size < SizeTable().size(); ++size) {
    for (const auto& [w, h] : {std::pair{600, 400}, {400, 600}, {403, 302}, {101, 99}}) {
      const LongShort target = TargetSize({size, 150});
      const PixelSize crop = ComputeTrimSize(w, h, target);
      Bitmap photo = CodedPhoto(w, h);
      ASSERT_EQ(TrimAt(photo, crop.width, crop.height, 0.5, 65535), TrimStatus::Trimmed);
      const Origin centre = SourceOf(photo, 0, 0, w);
      EXPECT_EQ(ComputeTrimRect(w, h, target),
                (PixelRect{centre.x, centre.y, crop.width, crop.height}));
      EXPECT_EQ(ComputeTrimRect(w, h, target, 0), (PixelRect{0, 0, crop.width, crop.height}));
      EXPECT_EQ(ComputeTrimRect(w, h, target, 1),
                (PixelRect{w - crop.width, h - crop.height, crop.width, crop.height}));
    }
  }
}

}  // namespace
}  // namespace quorvale
