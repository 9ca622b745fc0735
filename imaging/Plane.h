#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvale {

// The largest width or height that the centre trim and the high-quality
// reduction accept.
inline constexpr int MaxPlaneSide = 6200;

// A fixed MaxPlaneSide x MaxPlaneSide grid of packed pixels
// R * 65536 + G * 256 + B. Reserved once as zero-filled virtual memory; the
// system commits pages only where they are touched, so a plane that is never
// written costs no resident memory. Row-major: a row of cells is contiguous.
class Plane {
 public:
  Plane();  // throws std::bad_alloc when the address space cannot be had
  Plane(const Plane&) = delete;
  Plane& operator=(const Plane&) = delete;
  ~Plane();

  std::uint32_t* Row(int y) { return cells_ + static_cast<std::ptrdiff_t>(y) * MaxPlaneSide; }
  const std::uint32_t* Row(int y) const {
    return cells_ + static_cast<std::ptrdiff_t>(y) * MaxPlaneSide;
  }
  std::uint32_t& At(int x, int y) { return Row(y)[x]; }
  std::uint32_t At(int x, int y) const { return Row(y)[x]; }

  static constexpr std::size_t Bytes() {
    return std::size_t{MaxPlaneSide} * MaxPlaneSide * sizeof(std::uint32_t);
  }

 private:
  std::uint32_t* cells_ = nullptr;
};

}  // namespace quorvale
