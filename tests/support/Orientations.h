#pragma once

namespace quorvale::testing {

enum class Side { Top, Bottom, Left, Right };

// What each Exif orientation says of the stored pixels: along which side of
// the picture as shown the stored row 0 lies, and along which the stored
// column 0.
struct Stored {
  int orientation;
  Side row0;
  Side column0;

  // Whether the stored rows run across the picture as shown (1 to 4), so
  // that the stored size is the shown one rather than its transpose.
  constexpr bool RowsAcross() const { return row0 == Side::Top || row0 == Side::Bottom; }
};
inline constexpr Stored Orientations[] = {
    {1, Side::Top, Side::Left},     {2, Side::Top, Side::Right},   {3, Side::Bottom, Side::Right},
    {4, Side::Bottom, Side::Left},  {5, Side::Left, Side::Top},    {6, Side::Right, Side::Top},
    {7, Side::Right, Side::Bottom}, {8, Side::Left, Side::Bottom},
};

struct ShownPixel {
  int x;
  int y;
};

// The pixel of the picture as shown, `shownWidth` x `shownHeight`, that a
// camera with orientation `o` stores at (x, y).
constexpr ShownPixel ShownAt(const Stored& o, int x, int y, int shownWidth, int shownHeight) {
  if (o.RowsAcross()) {
    return {o.column0 == Side::Left ? x : shownWidth - 1 - x,
            o.row0 == Side::Top ? y : shownHeight - 1 - y};
  }
  return {o.row0 == Side::Left ? y : shownWidth - 1 - y,
          o.column0 == Side::Top ? x : shownHeight - 1 - x};
}

}  // namespace quorvale::testing
