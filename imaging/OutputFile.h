#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvale {

// How WriteFileReplacing makes the file it fills before naming it.
enum class TemporaryFileKind {
  Unnamed,  // O_TMPFILE where the file system has it, else Named
  Named,    // a hidden ".quorvale-<pid>-….tmp" beside the target
};

// Writes `bytes` as the file `name` in the folder open as `folder`, so that
// `name` is at every moment either what it was or the complete new file. The
// data goes to an unnamed file (O_TMPFILE) that is given its name only when
// complete, so no kill at any moment leaves anything behind; replacing an
// existing file takes a hidden link and a rename, a window of two calls.
// Where the file system has no unnamed files, a hidden named file is filled
// instead and removed on any failure. The first write into a folder in a
// process removes such hidden files left there by processes that no longer
// exist. An existing target keeps its permission bits, and the new data
// reaches the disk before it replaces the old; a new file is created with
// mode 0666 under the umask and the folder's default ACL. A target that is
// a folder (EISDIR), not a regular file (EINVAL) or that nobody may write
// (EACCES: rename alone would replace it, and root ignores permission bits)
// is refused. Returns 0, or the errno of the step that failed.
int WriteFileReplacing(int folder, const std::string& name, std::span<const std::uint8_t> bytes,
                       TemporaryFileKind kind = TemporaryFileKind::Unnamed);

// Whether `name` is a hidden temporary file of WriteFileReplacing's making,
// and the process id in it.
bool IsTemporaryFileName(const std::string& name, long* pid = nullptr);

}  // namespace quorvale
