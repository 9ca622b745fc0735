#pragma once

#include <cstdint>

#include "pixels/Bitmap.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {

// A camera-like bitmap whose pixel (x, y) is PhotoPixel(x * xStep,
// y * yStep): steps above 1 fit more of the picture's features into a small
// bitmap.
inline Bitmap PhotoBitmap(int width, int height, int xStep, int yStep) {
  Bitmap bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb p = PhotoPixel(x * xStep, y * yStep);
      std::uint8_t* pixel = bitmap.Row(y) + 3 * x;
      pixel[0] = p[2];
      pixel[1] = p[1];
      pixel[2] = p[0];
    }
  }
  return bitmap;
}

}  // namespace quorvale::testing
