#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "pixels/Bitmap.h"

namespace quorvale {

// Rows a decoder asks for before it says any of them is done: a sink keeps
// the memory of this many rows valid, beside any rows it holds on to.
inline constexpr int RowSinkBatch = 16;

// Takes a picture from the decoder row by row, top to bottom, where a bitmap
// would hold it whole: the decoded rows can be used while they are still in
// the cache, and the whole picture never needs memory of its own.
class RowSink {
 public:
  virtual ~RowSink() = default;

  // The picture to come is width x height (at least 1 x 1). The decoder
  // writes each row into `rowBytes` of memory, which may be more than the
  // row's pixels (a decoder working on a wider window than the picture
  // asked for). Called once, before any row. Throws std::bad_alloc.
  virtual void Start(int width, int height, std::size_t rowBytes) = 0;

  // Memory of `rowBytes` for row y. Rows are asked for in order, each once,
  // at most RowSinkBatch of them before the first of those is done.
  virtual std::uint8_t* RowFor(int y) = 0;

  // Row y is in: its `width` pixels, blue, green, red, start at `pixels`,
  // inside the memory RowFor(y) gave. Rows are done in order.
  virtual void RowDone(int y, const std::uint8_t* pixels) = 0;

  // Whether row y is used at all. A row that is not may be passed over by
  // the decoder: neither asked for nor done. Asked after Start, in any order.
  virtual bool Wants(int /*y*/) const { return true; }

  // Every row is done (not called when the decode fails).
  virtual void Finish() {}

  // The bytes the sink will hold for such a picture, asked before Start to
  // judge whether the decode may go ahead: by default the rows in flight.
  virtual std::uint64_t Charge(int /*width*/, int /*height*/, std::size_t rowBytes) const {
    return std::uint64_t{rowBytes} * RowSinkBatch;
  }
};

// Holds a picture whole in a bitmap as its rows come in. The decoder may
// work on a window wider than the picture; the bitmap holds the window's
// rows and is cropped to the picture's columns at the end.
class BitmapSink : public RowSink {
 public:
  explicit BitmapSink(Bitmap& bitmap) : bitmap_(bitmap) {}

  void Start(int width, int height, std::size_t rowBytes) override;
  std::uint8_t* RowFor(int y) override { return bitmap_.Row(y); }
  void RowDone(int y, const std::uint8_t* pixels) override;
  void Finish() override;
  // The rows padded as a Bitmap's, or the capacity the bitmap has when larger.
  std::uint64_t Charge(int width, int height, std::size_t rowBytes) const override;

 private:
  Bitmap& bitmap_;
  int width_ = 0;
  int left_ = 0;
};

// The rows of a sink that uses each one as soon as it is done, in a ring of
// `slots`, row y in slot y % slots. Each row starts 8 bytes past a cache
// line: libjpeg-turbo's colour conversion writes a row that starts on a
// 16-byte boundary with non-temporal stores, which go past the cache
// straight to memory, and the sink would then read every row back from
// there.
class RowRing {
 public:
  RowRing(int slots, std::size_t rowBytes);

  std::uint8_t* Slot(int y) const {
    return first_ + stride_ * static_cast<std::size_t>(y % slots_);
  }

  // The bytes such a ring takes.
  static std::uint64_t Bytes(int slots, std::size_t rowBytes);

 private:
  int slots_;
  std::size_t stride_;
  std::unique_ptr<std::uint8_t[]> memory_;
  std::uint8_t* first_;
};

}  // namespace quorvale
