#include "codec/PhotoBytes.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"

namespace quorvale {

PhotoBytes PhotoBytes::FromFile(FileDescriptor file, const FileStamp& stamp) {
  PhotoBytes bytes;
  bytes.file_ = std::move(file);
  bytes.stamp_ = stamp;
  return bytes;
}

PhotoBytes PhotoBytes::InMemory(std::span<const std::uint8_t> bytes) {
  PhotoBytes result;
  static const std::uint8_t none = 0;
  result.memory_ = bytes.data() != nullptr ? bytes : std::span<const std::uint8_t>(&none, 0);
  result.stamp_.bytes = bytes.size();
  return result;
}

std::int64_t PhotoBytes::ReadAt(std::uint64_t offset, void* into, std::size_t count) const {
  if (offset >= stamp_.bytes || count == 0) return 0;
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, stamp_.bytes - offset));
  if (!file_) {
    std::memcpy(into, memory_.data() + offset, count);
    return static_cast<std::int64_t>(count);
  }
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(file_.Get(), static_cast<char*>(into) + done, count - done,
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;  // the file was cut short since it was opened
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace quorvale
