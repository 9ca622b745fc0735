#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"

namespace quorvale {

// The bytes of one photo file, opened once: a regular file read at offsets,
// or bytes held in memory (which must outlive this). For the readers of
// formats whose libraries read through callbacks.
class PhotoBytes {
 public:
  static PhotoBytes InMemory(std::span<const std::uint8_t> bytes);
  // A regular file opened already, whose stat gave `stamp`.
  static PhotoBytes FromFile(FileDescriptor file, const FileStamp& stamp);

  bool IsOpen() const { return file_ || memory_.data() != nullptr; }
  std::uint64_t Size() const { return stamp_.bytes; }
  // The file as it was opened; only the size for bytes in memory.
  const FileStamp& Stamp() const { return stamp_; }

  // Reads up to `count` bytes at `offset`: the count read, short only at the
  // end of the file, or -1 when the system failed (errno set).
  std::int64_t ReadAt(std::uint64_t offset, void* into, std::size_t count) const;

 private:
  FileDescriptor file_;
  std::span<const std::uint8_t> memory_{};
  FileStamp stamp_;
};

}  // namespace quorvale
