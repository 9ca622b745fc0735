#include "imaging/RowSink.h"

#include <algorithm>

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

}  // namespace quorvale
