// The border's pixels: the whole photo, reduced as asked (never enlarged),
// centred on a white canvas of exactly the size's box.

#include <gtest/gtest.h>

#include "batch/PhotoSteps.h"
#include "support/CodedBitmap.h"

namespace quorvale {
namespace {

using testing::CodedPhoto;
using testing::Origin;
using testing::SourceOf;

// The smallest rectangle holding every pixel that is not white.
PixelRect Picture(const Bitmap& bitmap) {
  int left = bitmap.Width(), top = bitmap.Height(), right = -1, bottom = -1;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t* p = bitmap.Row(y) + 3 * x;
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  return {left, top, right - left + 1, bottom - top + 1};
}

TEST(Border, TheWholePhotoIsCentredOnAWhiteCanvasOfTheBox) {
  const LongShort target{400, 281};
  struct Case {
    int w, h;
    bool highQuality;
    PixelRect fitted;  // worked out by hand
  };
  const Case cases[] = {
      {600, 400, false, {0, 7, 400, 266}},    // the width meets the box
      {400, 600, false, {7, 0, 266, 400}},    // portrait, on the turned box
      {600, 400, true, {0, 7, 400, 266}},     // the high-quality reduction takes it
      {420, 281, false, {0, 7, 400, 267}},    // one side above the box is enough
      {330, 250, false, {35, 15, 330, 250}},  // smaller than the box: unscaled
      {400, 281, false, {0, 0, 400, 281}},    // the box itself
      {5000, 1, false, {0, 140, 400, 1}},     // 5000 x 1 keeps its one row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    Bitmap photo = CodedPhoto(c.w, c.h);
    ReductionScratch scratch;
    const PhotoOptions options{.highQuality = c.highQuality, .fit = Fit::Border};
    const PreparedPhoto prepared = PreparePhoto(photo, scratch, options, target, 0.5, nullptr);
    ASSERT_EQ(prepared.kind, PreparedPhoto::Ready);
    EXPECT_EQ(prepared.fitted, c.fitted);
    EXPECT_FALSE(prepared.declined.has_value());
    ASSERT_EQ(photo.Width(), c.w > c.h ? 400 : 281);
    ASSERT_EQ(photo.Height(), c.w > c.h ? 281 : 400);
    // The coded photo has no white pixel, so only the margins are white.
    const PixelRect picture = Picture(photo);
    EXPECT_EQ(picture, c.fitted);
    if (c.fitted.width == c.w && c.fitted.height == c.h) {
      EXPECT_EQ(prepared.tooSmall, c.w < photo.Width()) << "smaller than the box, not equal";
      for (int y = 0; y < c.h; ++y) {
        for (int x = 0; x < c.w; ++x) {
          ASSERT_EQ(SourceOf(photo, c.fitted.left + x, c.fitted.top + y, c.w), (Origin{x, y}));
        }
      }
    }
  }
  // As in a trimming run, a photo of at most 320 x 240 is skipped.
  Bitmap small = CodedPhoto(320, 240);
  ReductionScratch scratch;
  EXPECT_EQ(PreparePhoto(small, scratch, {.fit = Fit::Border}, target, 0.5, nullptr).kind,
            PreparedPhoto::SkippedSmall);
}

}  // namespace
}  // namespace quorvale
