#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale {

// The memory a run decodes its photos into: bitmaps are lent to decodes and
// given back when their photo is done with, so that memory is reused rather
// than faulted in anew. Every bitmap the pool keeps or has lent is charged by
// its capacity (the memory it holds, whatever photo is in it), and a decode
// it admits by all it holds meanwhile (see DecodeAdmission). Only admitted
// decodes are held to the budget; a photo decoded at its turn is not refused
// here. Not thread-safe: the borrower serialises its calls.
class BitmapPool {
 public:
  explicit BitmapPool(std::uint64_t budget) : budget_(budget) {}
  BitmapPool(const BitmapPool&) = delete;
  BitmapPool& operator=(const BitmapPool&) = delete;

  // A bitmap to decode into, the one last given back or a new empty one;
  // it stays charged at its capacity.
  Bitmap Lend();

  // Charges `bytes` more for a lent bitmap, if they fit the budget beside
  // what is charged already; false charges nothing.
  bool Admit(std::uint64_t bytes);

  // A lent bitmap charged `before` bytes is now charged `after` (its decode
  // ended and gave back libjpeg's buffers, or grew the bitmap).
  void Recharge(std::uint64_t before, std::uint64_t after);

  // `bitmap`, charged `charged` bytes, comes back. It is kept for a later
  // decode while fewer than `keep` are kept, and freed otherwise.
  void GiveBack(Bitmap&& bitmap, std::uint64_t charged, std::size_t keep);

  // Frees the bitmaps kept for later decodes.
  void FreeSpares();

  std::uint64_t Charged() const { return charged_; }

 private:
  const std::uint64_t budget_;
  std::uint64_t charged_ = 0;
  std::vector<Bitmap> spares_;
};

}  // namespace quorvale
