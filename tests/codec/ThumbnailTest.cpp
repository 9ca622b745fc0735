#include "codec/Thumbnail.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <jpeglib.h>

namespace quorvale {
namespace {

TEST(ThumbnailDimensions, ScalesTheLongerSideToTheLimitAndRounds) {
  struct Case {
    int width, height, maxSide;
    int expectedWidth, expectedHeight;
  };
  const Case cases[] = {
      {8064, 6048, 200, 200, 150}, {6048, 8064, 200, 150, 200}, {4000, 4000, 200, 200, 200},
      {6000, 4000, 200, 200, 133}, {5710, 4000, 200, 200, 140}, {3000, 1001, 200, 200, 67},
      {200, 100, 200, 200, 100},   {120, 90, 200, 120, 90},     {10000, 10, 200, 200, 1},
      {10, 10000, 200, 1, 200},    {0, 10, 200, 0, 0},          {10, 0, 200, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const ThumbnailSize size = ThumbnailDimensions(c.width, c.height, c.maxSide);
    EXPECT_EQ(size.width, c.expectedWidth);
    EXPECT_EQ(size.height, c.expectedHeight);
  }
}

// Vertical stripes of 0 and 255, 2 pixels each, averaged over the 40 x 40
// source area of each thumbnail pixel, come out mid grey, not as stripes; an
// area of one colour keeps it.
TEST(MakeThumbnail, AveragesEachAreaAndKeepsFlatColours) {
  Bitmap stripes(800, 400);
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 800; ++x) {
      std::uint8_t* p = stripes.Row(y) + 3 * x;
      const std::uint8_t value = (x / 2) % 2 == 0 ? 0 : 255;
      p[0] = value;
      p[1] = static_cast<std::uint8_t>(x < 400 ? 10 : 200);
      p[2] = 77;
    }
  }
  const Bitmap thumbnail = MakeThumbnail(stripes, 20);
  ASSERT_EQ(thumbnail.Width(), 20);
  ASSERT_EQ(thumbnail.Height(), 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      const std::uint8_t* p = thumbnail.Row(y) + 3 * x;
      EXPECT_NEAR(p[0], 128, 1) << x << ", " << y;
      EXPECT_EQ(p[1], x < 10 ? 10 : 200);
      EXPECT_EQ(p[2], 77);
    }
  }
}

TEST(MakeThumbnail, KeepsASmallPictureAsItIs) {
  Bitmap small(3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) small.Row(y)[3 * x + 1] = static_cast<std::uint8_t>(10 * x + y);
  }
  const Bitmap thumbnail = MakeThumbnail(small, 200);
  ASSERT_EQ(thumbnail.Width(), 3);
  ASSERT_EQ(thumbnail.Height(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(thumbnail.Row(y)[3 * x + 1], 10 * x + y);
  }
}

TEST(MakeThumbnailJpeg, EncodesTheThumbnailAtItsSize) {
  const Bitmap photo(1200, 900);
  const std::optional<ThumbnailJpeg> jpeg = MakeThumbnailJpeg(photo);
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(jpeg->width, 200);
  EXPECT_EQ(jpeg->height, 150);
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg->bytes.data(), static_cast<unsigned long>(jpeg->bytes.size()));
  ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
  EXPECT_EQ(info.image_width, 200u);
  EXPECT_EQ(info.image_height, 150u);
  jpeg_destroy_decompress(&info);
  EXPECT_FALSE(MakeThumbnailJpeg(Bitmap()));
}

}  // namespace
}  // namespace quorvale
