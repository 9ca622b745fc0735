#include "codec/PhotoBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"

namespace quorvale {

PhotoBytes PhotoBytes::OpenFile(const std::string& path, std::string& reason) {
  PhotoBytes bytes;
  // O_NONBLOCK keeps a FIFO given as a photo from blocking the open.
  FileDescriptor file(OpenLongPath(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0) {
    reason = std::strerror(errno);
    return bytes;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return bytes;
  }
  if (st.st_size == 0) {
    reason = "the file is empty";
    return bytes;
  }
  bytes.file_ = std::move(file);
  bytes.stamp_ = StampOf(st);
  return bytes;
}

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
