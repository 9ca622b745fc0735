#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvale {

// Frees a bitmap's pixel memory as it was had: mapped when large, from the
// heap when not.
struct PixelFree {
  std::size_t mapped = 0;  // bytes mapped, 0 for heap memory
  void operator()(std::uint8_t* pixels) const;
};

// A 24-bit bitmap: pixel x of row y is bytes 3x, 3x + 1, 3x + 2 of the row,
// holding blue, green and red. Rows are padded to a multiple of 4 bytes and
// are reached through Row(y) only; they need not lie next to each other.
// A new bitmap is 0 x 0.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height);  // filled white
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes of pixel memory held, which may be more than the pixels need.
  std::size_t Capacity() const { return capacity_; }

  // Resizing keeps the pixels of the top-left area that the old and new
  // sizes share and fills any new area with white. Shrinking never moves or
  // frees pixels. Negative sizes count as 0. Throws std::bad_alloc when the
  // memory for a larger bitmap cannot be had.
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  void SetSize(int width, int height);

  // Makes the bitmap width x height with unspecified pixels, reusing the
  // memory it already holds when that is large enough; for a writer that
  // fills every pixel (the decoder). Throws std::bad_alloc.
  void Allocate(int width, int height);

  // Releases the pixel memory; the bitmap becomes 0 x 0.
  void Release();

  std::uint8_t* Row(int y) {
    return data_.get() + origin_ + static_cast<std::ptrdiff_t>(y) * stride_;
  }
  const std::uint8_t* Row(int y) const {
    return data_.get() + origin_ + static_cast<std::ptrdiff_t>(y) * stride_;
  }
  std::ptrdiff_t Stride() const { return stride_; }

  // Makes the rectangle (left, top, width, height), which must lie inside the
  // bitmap, the whole bitmap, without copying a pixel.
  void Crop(int left, int top, int width, int height);

  // 1:1 copy of the rectangle (sx, sy, width, height) of `source` to (dx, dy)
  // of this bitmap; both rectangles must lie inside their bitmaps.
  void CopyRect(const Bitmap& source, int sx, int sy, int width, int height, int dx, int dy);

  // Draws all of `source` stretched into (0, 0, width, height) of this bitmap,
  // nearest neighbour, with no blending: target column x takes source column
  // floor((2x + 1) * w / (2 * width)), rows likewise, so whole rows and
  // columns are dropped (or repeated) evenly over the picture.
  void StretchFrom(const Bitmap& source, int width, int height);

 private:
  using Pixels = std::unique_ptr<std::uint8_t[], PixelFree>;
  static Pixels AllocatePixels(std::size_t bytes);

  void Reallocate(int width, int height, bool keep);

  Pixels data_;
  std::size_t capacity_ = 0;
  std::ptrdiff_t origin_ = 0;  // byte offset of pixel (0, 0)
  std::ptrdiff_t stride_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// The columns a nearest-neighbour stretch of a row of `sourceWidth` pixels to
// `width` takes: target x takes source floor((2x + 1) * sourceWidth / (2 *
// width)), the same rule as for rows (Pick).
class ColumnPicks {
 public:
  ColumnPicks(int sourceWidth, int width);

  // The source index that target `index` of `count` takes among `sourceCount`.
  static int Pick(int index, int count, int sourceCount);

  // Copies the picked pixels of the source row `from` to `to`, asking for
  // the cache lines of `prefetch` (a row to come in memory, or null for none)
  // as it goes.
  void Copy(const std::uint8_t* from, std::uint8_t* to, const std::uint8_t* prefetch) const;

 private:
  std::vector<std::uint32_t> offsets_;  // bytes into the source row, per target pixel
  int wordColumns_ = 0;                 // leading targets that may move as 4-byte words
  int lines_ = 0;                       // cache lines of a source row
  int chunk_ = 1;                       // target pixels copied per line prefetched
};

// Whether code set up from now on keeps to the instructions every processor
// runs, rather than the widest vectors the processor has (the default).
// Both give the same bytes; this lets the tests check the portable code on
// any machine.
void UsePortableCode(bool portable);
bool PortableCodeOnly();

// Bytes in one padded row of `width` 24-bit pixels.
constexpr std::ptrdiff_t RowBytes(int width) {
  return (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t{3};
}

}  // namespace quorvale
