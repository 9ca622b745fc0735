#include "pixels/Bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <utility>

namespace quorvale {
namespace {

// A whole decoded photo's memory is mapped in whole huge pages, which the
// system may back with 2 MiB pages: its first touch then takes a few dozen
// faults rather than one for every 4 KiB of it. Smaller bitmaps (a reduced
// photo) come from the heap: the system finds small pages for them among
// those the process had before more readily than fresh huge ones, and
// measured, they were faster that way.
constexpr std::size_t HugePage = std::size_t{2} << 20;
constexpr std::size_t HugeMapping = std::size_t{32} << 20;

std::atomic<bool> portableOnly{false};  // UsePortableCode

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14
#endif

// A bitmap is written whole soon after it is made. The pages of a large one
// from the heap (a reduced photo: 2,000 pages at 12 MP) are made present in
// one call, which takes about half the time of faulting them in one by one;
// a system without the call leaves them to the faults.
void Populate(std::uint8_t* pixels, std::size_t bytes) {
  constexpr std::uintptr_t Page = 4096;
  if (bytes < (std::size_t{1} << 20)) return;
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(pixels) + Page - 1) & ~(Page - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(pixels) + bytes) & ~(Page - 1);
  madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

}  // namespace

Bitmap::Pixels Bitmap::AllocatePixels(std::size_t bytes) {
  bytes = std::max<std::size_t>(bytes, 1);
  if (bytes < HugeMapping) {
    Pixels pixels(new std::uint8_t[bytes], PixelFree{});
    Populate(pixels.get(), bytes);
    return pixels;
  }
  const std::size_t mapped = (bytes + HugePage - 1) / HugePage * HugePage;
  // Mapped one huge page longer, so that the pixels can start on a boundary.
  const std::size_t reserved = mapped + HugePage;
  void* memory =
      mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  auto* start = static_cast<std::uint8_t*>(memory);
  const std::size_t skip =
      (HugePage - reinterpret_cast<std::uintptr_t>(start) % HugePage) % HugePage;
  if (skip > 0) munmap(start, skip);
  if (skip < HugePage) munmap(start + skip + mapped, HugePage - skip);
  madvise(start + skip, mapped, MADV_HUGEPAGE);
  return Pixels(start + skip, PixelFree{mapped});
}

void PixelFree::operator()(std::uint8_t* pixels) const {
  if (mapped > 0) {
    munmap(pixels, mapped);
  } else {
    delete[] pixels;
  }
}

Bitmap::Bitmap(int width, int height) {
  SetSize(width, height);
}

Bitmap::Bitmap(const Bitmap& other) {
  *this = other;
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this == &other) return *this;
  Allocate(other.width_, other.height_);
  for (int y = 0; y < height_; ++y)
    std::memcpy(Row(y), other.Row(y), static_cast<std::size_t>(width_) * 3);
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept {
  *this = std::move(other);
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this == &other) return *this;
  data_ = std::move(other.data_);
  capacity_ = std::exchange(other.capacity_, 0);
  origin_ = std::exchange(other.origin_, 0);
  stride_ = std::exchange(other.stride_, 0);
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  return *this;
}

void Bitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width <= width_ && height <= height_) {
    width_ = width;
    height_ = height;
    return;
  }
  Reallocate(width, height, true);
}

void Bitmap::Allocate(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const std::ptrdiff_t stride = RowBytes(width);
  const std::size_t needed = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  if (needed > capacity_ || !data_) {
    data_.reset();
    capacity_ = 0;
    data_ = AllocatePixels(needed);
    capacity_ = needed;
  }
  origin_ = 0;
  stride_ = stride;
  width_ = width;
  height_ = height;
}

void Bitmap::Release() {
  data_.reset();
  capacity_ = 0;
  origin_ = stride_ = 0;
  width_ = height_ = 0;
}

void Bitmap::Reallocate(int width, int height, bool keep) {
  const std::ptrdiff_t stride = RowBytes(width);
  const std::size_t needed = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  Pixels data = AllocatePixels(needed);
  std::memset(data.get(), 0xFF, needed);
  if (keep) {
    const int rows = std::min(height, height_);
    const std::size_t bytes = static_cast<std::size_t>(std::min(width, width_)) * 3;
    for (int y = 0; y < rows; ++y) std::memcpy(data.get() + y * stride, Row(y), bytes);
  }
  data_ = std::move(data);
  capacity_ = needed;
  origin_ = 0;
  stride_ = stride;
  width_ = width;
  height_ = height;
}

void Bitmap::Crop(int left, int top, int width, int height) {
  origin_ += static_cast<std::ptrdiff_t>(top) * stride_ + static_cast<std::ptrdiff_t>(left) * 3;
  width_ = width;
  height_ = height;
}

void Bitmap::CopyRect(const Bitmap& source, int sx, int sy, int width, int height, int dx, int dy) {
  const std::size_t bytes = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    std::memmove(Row(dy + y) + dx * 3, source.Row(sy + y) + sx * 3, bytes);
  }
}

// Pixels move as 4-byte words, the fourth byte landing where the next target
// pixel is written straight after; a word is read only where the source
// pixel is not the last of its row, so no read passes the row's end.
// The source rows taken lie apart in memory, and the processor's own
// prefetching starts afresh on each; so the next one is asked for while this
// one is copied, a cache line for every chunk of target pixels.
ColumnPicks::ColumnPicks(int sourceWidth, int width) : offsets_(static_cast<std::size_t>(width)) {
  for (int x = 0; x < width; ++x)
    offsets_[x] = static_cast<std::uint32_t>(Pick(x, width, sourceWidth)) * 3;
  const std::ptrdiff_t lastSource = static_cast<std::ptrdiff_t>(sourceWidth - 1) * 3;
  while (wordColumns_ < width - 1 && offsets_[wordColumns_] < lastSource) ++wordColumns_;
  constexpr std::ptrdiff_t Line = 64;
  lines_ = static_cast<int>((static_cast<std::ptrdiff_t>(sourceWidth) * 3 + Line - 1) / Line);
  chunk_ = std::max(1, width / std::max(lines_, 1));
}

int ColumnPicks::Pick(int index, int count, int sourceCount) {
  return static_cast<int>((2 * static_cast<std::int64_t>(index) + 1) * sourceCount /
                          (2 * static_cast<std::int64_t>(count)));
}

void ColumnPicks::Copy(const std::uint8_t* from, std::uint8_t* to,
                       const std::uint8_t* prefetch) const {
  constexpr std::ptrdiff_t Line = 64;
  // The target row is asked for this far ahead of the stores: a whole
  // target photo is larger than the cache, and the decoder's work between
  // two rows leaves the cache no pattern to guess from.
  constexpr std::ptrdiff_t WriteAhead = 2048;
  // Locals, since stores through `to` could otherwise alias the members.
  const std::uint32_t* offsets = offsets_.data();
  const int width = static_cast<int>(offsets_.size());
  const int words = wordColumns_;
  // Two pixels a store, up to the last two pixels: 8 bytes, whose last two
  // the next pair overwrites.
  const int pairs = std::min(words, width - 2) & ~1;
  const int chunk = (chunk_ + 1) & ~1;
  int x = 0;
  for (int line = 0; x < pairs; ++line) {
    if (prefetch != nullptr && line < lines_) __builtin_prefetch(prefetch + line * Line);
    __builtin_prefetch(to + WriteAhead, 1);
    for (const int end = std::min(x + chunk, pairs); x < end; x += 2, to += 6) {
      std::uint32_t first;
      std::uint32_t second;
      std::memcpy(&first, from + offsets[x], 4);
      std::memcpy(&second, from + offsets[x + 1], 4);
      const std::uint64_t both = (first & 0xFFFFFFu) | (std::uint64_t{second} << 24);
      std::memcpy(to, &both, 8);
    }
  }
  for (; x < words; ++x, to += 3) std::memcpy(to, from + offsets[x], 4);
  for (; x < width; ++x, to += 3) std::memcpy(to, from + offsets[x], 3);
}

void Bitmap::StretchFrom(const Bitmap& source, int width, int height) {
  if (width <= 0 || height <= 0 || source.width_ <= 0 || source.height_ <= 0) return;
  const ColumnPicks columns(source.width_, width);
  const auto row = [&](int y) {
    return source.Row(ColumnPicks::Pick(std::min(y, height - 1), height, source.height_));
  };
  for (int y = 0; y < height; ++y) columns.Copy(row(y), Row(y), row(y + 1));
}

void UsePortableCode(bool portable) {
  portableOnly.store(portable, std::memory_order_relaxed);
}

bool PortableCodeOnly() {
  return portableOnly.load(std::memory_order_relaxed);
}

}  // namespace quorvale
