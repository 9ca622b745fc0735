#include "pixels/Orientation.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvale {
namespace {

void SwapPixels(std::uint8_t* a, std::uint8_t* b) {
  std::swap(a[0], b[0]);
  std::swap(a[1], b[1]);
  std::swap(a[2], b[2]);
}

void MirrorRows(Bitmap& bitmap) {
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* row = bitmap.Row(y);
    for (int x = 0; x < width / 2; ++x) SwapPixels(row + 3 * x, row + 3 * (width - 1 - x));
  }
}

void MirrorColumns(Bitmap& bitmap) {
  const std::size_t bytes = static_cast<std::size_t>(bitmap.Width()) * 3;
  std::uint8_t buffer[4096];
  for (int y = 0, other = bitmap.Height() - 1; y < other; ++y, --other) {
    std::uint8_t* a = bitmap.Row(y);
    std::uint8_t* b = bitmap.Row(other);
    for (std::size_t done = 0; done < bytes; done += sizeof buffer) {
      const std::size_t n = std::min(sizeof buffer, bytes - done);
      std::memcpy(buffer, a + done, n);
      std::memcpy(a + done, b + done, n);
      std::memcpy(b + done, buffer, n);
    }
  }
}

// Fills `target` (h x w) with the transpose of `source` (w x h): target
// pixel (X, Y) takes source column Y (from the right when reverseColumns)
// and row X (from the bottom when reverseRows). Square tiles keep both
// sides' rows in the cache while a tile is copied.
template <bool reverseColumns, bool reverseRows>
void Transpose(const Bitmap& source, Bitmap& target) {
  constexpr int Tile = 32;
  const int w = source.Width();
  const int h = source.Height();
  for (int top = 0; top < w; top += Tile) {
    const int bottom = std::min(top + Tile, w);
    for (int left = 0; left < h; left += Tile) {
      const int right = std::min(left + Tile, h);
      for (int y = top; y < bottom; ++y) {
        const int sx = reverseColumns ? w - 1 - y : y;
        std::uint8_t* to = target.Row(y) + 3 * left;
        for (int x = left; x < right; ++x, to += 3) {
          const int sy = reverseRows ? h - 1 - x : x;
          std::memcpy(to, source.Row(sy) + 3 * sx, 3);
        }
      }
    }
  }
}

}  // namespace

void ApplyOrientation(Bitmap& bitmap, int orientation) {
  switch (orientation) {
    case 2:
      MirrorRows(bitmap);
      return;
    case 3:
      MirrorRows(bitmap);
      MirrorColumns(bitmap);
      return;
    case 4:
      MirrorColumns(bitmap);
      return;
    case 5:
    case 6:
    case 7:
    case 8:
      break;
    default:
      return;
  }
  Bitmap turned;
  turned.Allocate(bitmap.Height(), bitmap.Width());
  switch (orientation) {
    case 5:
      Transpose<false, false>(bitmap, turned);
      break;
    case 6:
      Transpose<false, true>(bitmap, turned);
      break;
    case 7:
      Transpose<true, true>(bitmap, turned);
      break;
    default:
      Transpose<true, false>(bitmap, turned);
      break;
  }
  bitmap = std::move(turned);
}

OrientedSize OrientedDimensions(int width, int height, int orientation) {
  if (orientation >= 5 && orientation <= 8) return {height, width};
  return {width, height};
}

}  // namespace quorvale
