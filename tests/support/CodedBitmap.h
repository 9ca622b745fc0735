#pragma once

#include <cstdint>

#include "pixels/Bitmap.h"

namespace quorvale::testing {

// Gives every pixel its own index y * width + x as a 24-bit number, so a
// pixel found anywhere after a trim or a stretch says where it came from.
inline void Code(Bitmap& bitmap) {
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* row = bitmap.Row(y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t index = static_cast<std::uint32_t>(y) * width + x;
      row[3 * x] = static_cast<std::uint8_t>(index);
      row[3 * x + 1] = static_cast<std::uint8_t>(index >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(index >> 16);
    }
  }
}

inline Bitmap CodedPhoto(int width, int height) {
  Bitmap bitmap(width, height);
  Code(bitmap);
  return bitmap;
}

struct Origin {
  int x;
  int y;
  friend bool operator==(const Origin&, const Origin&) = default;
};

// Where pixel (x, y) of `bitmap` came from in a photo coded `codedWidth` wide.
inline Origin SourceOf(const Bitmap& bitmap, int x, int y, int codedWidth) {
  const std::uint8_t* p = bitmap.Row(y) + 3 * x;
  const std::uint32_t index = p[0] | p[1] << 8 | p[2] << 16;
  return {static_cast<int>(index % codedWidth), static_cast<int>(index / codedWidth)};
}

}  // namespace quorvale::testing
