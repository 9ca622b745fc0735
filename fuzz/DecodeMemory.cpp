#include "fuzz/DecodeMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "imaging/JpegFile.h"

namespace quorvale::fuzzing {

// The decoder reads photos from files, so the bytes go into one anonymous
// memory file that is rewritten for each input and named through /proc.
bool DecodeMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap) {
  static const int file = ::memfd_create("fuzz-input", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(file);
  if (file < 0 || ::ftruncate(file, 0) != 0) std::abort();
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n =
        ::pwrite(file, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
    if (n <= 0) std::abort();
    written += static_cast<std::size_t>(n);
  }
  return DecodeJpegFile(path, bitmap) == 0;
}

}  // namespace quorvale::fuzzing
