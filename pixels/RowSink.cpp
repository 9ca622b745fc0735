#include "pixels/RowSink.h"

#include <algorithm>
#include <cstdint>

namespace quorvale {

void BitmapSink::Start(int width, int height, std::size_t rowBytes) {
  width_ = width;
  bitmap_.Allocate(static_cast<int>(rowBytes / 3), height);
}

void BitmapSink::RowDone(int y, const std::uint8_t* pixels) {
  if (y == 0) left_ = static_cast<int>((pixels - bitmap_.Row(0)) / 3);
}

void BitmapSink::Finish() {
  bitmap_.Crop(left_, 0, width_, bitmap_.Height());
}

std::uint64_t BitmapSink::Charge(int, int height, std::size_t rowBytes) const {
  const std::uint64_t rows = static_cast<std::uint64_t>(RowBytes(static_cast<int>(rowBytes / 3)));
  return std::max<std::uint64_t>(rows * static_cast<std::uint64_t>(height), bitmap_.Capacity());
}

namespace {

constexpr std::size_t CacheLine = 64;
constexpr std::size_t RowSkew = 8;

// Whole cache lines a row, so that every row starts at the same skew.
std::size_t RingStride(std::size_t rowBytes) {
  return (rowBytes + CacheLine - 1) / CacheLine * CacheLine;
}

}  // namespace

RowRing::RowRing(int slots, std::size_t rowBytes)
    : slots_(std::max(slots, 1)),
      stride_(RingStride(rowBytes)),
      memory_(std::make_unique_for_overwrite<std::uint8_t[]>(Bytes(slots_, rowBytes))) {
  const auto address = reinterpret_cast<std::uintptr_t>(memory_.get());
  first_ = memory_.get() + (CacheLine - address % CacheLine) % CacheLine + RowSkew;
}

std::uint64_t RowRing::Bytes(int slots, std::size_t rowBytes) {
  return std::uint64_t{RingStride(rowBytes)} * static_cast<std::uint64_t>(std::max(slots, 1)) +
         CacheLine + RowSkew;
}

}  // namespace quorvale
