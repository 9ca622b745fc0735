#include "imaging/Plane.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace quorvale {

Plane::~Plane() {
  if (cells_ != nullptr) munmap(cells_, Bytes());
}

void Plane::Reserve(int width, int height) {
  if (width <= width_ && height <= height_) return;
  // Each side grows to the larger of old and new, so photos of the two
  // orientations of one size share a plane rather than remap it by turns.
  const int newWidth = std::max(width, width_);
  const int newHeight = std::max(height, height_);
  const std::size_t bytes = static_cast<std::size_t>(newWidth) *
                            static_cast<std::size_t>(newHeight) * sizeof(std::uint32_t);
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  if (cells_ != nullptr) munmap(cells_, Bytes());
  cells_ = static_cast<std::uint32_t*>(memory);
  width_ = newWidth;
  height_ = newHeight;
}

}  // namespace quorvale
