#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvale {

// The largest width or height that the centre trim and the high-quality
// reduction accept.
inline constexpr int MaxPlaneSide = 6200;

// A grid of packed pixels R * 65536 + G * 256 + B, row-major (a row of cells
// is contiguous), sized for the photo in hand: Reserve makes room for at
// least width x height cells, keeping the memory it has when that is enough
// and growing it (contents dropped) when not, so a run of photos of one size
// maps it once. Its memory is zero-filled virtual memory the system commits
// only where touched. An empty plane holds no memory at all.
class Plane {
 public:
  Plane() = default;
  Plane(const Plane&) = delete;
  Plane& operator=(const Plane&) = delete;
  ~Plane();

  // Throws std::bad_alloc when the address space cannot be had; the plane
  // is then as before. Sides of at least 1.
  void Reserve(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }

  std::uint32_t* Row(int y) { return cells_ + static_cast<std::ptrdiff_t>(y) * width_; }
  const std::uint32_t* Row(int y) const { return cells_ + static_cast<std::ptrdiff_t>(y) * width_; }
  std::uint32_t& At(int x, int y) { return Row(y)[x]; }
  std::uint32_t At(int x, int y) const { return Row(y)[x]; }

 private:
  std::size_t Bytes() const {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
           sizeof(std::uint32_t);
  }

  std::uint32_t* cells_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace quorvale
