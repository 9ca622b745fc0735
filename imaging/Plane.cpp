#include "imaging/Plane.h"

#include <sys/mman.h>

#include <new>

namespace quorvale {

Plane::Plane() {
  void* memory = mmap(nullptr, Bytes(), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  cells_ = static_cast<std::uint32_t*>(memory);
}

Plane::~Plane() {
  munmap(cells_, Bytes());
}

}  // namespace quorvale
