#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/FileDescriptor.h"

namespace quorvale {

// How WriteFileReplacing makes the file it fills before naming it.
enum class TemporaryFileKind {
  Unnamed,  // O_TMPFILE where the file system has it, else Named
  Named,    // a hidden ".quorvale-<pid>-<16 random hex digits>.tmp" beside the target
};

// Writes `bytes` as the file `name` in the folder open as `folder`, so that
// `name` is at every moment either what it was or the complete new file. The
// data goes to an unnamed file (O_TMPFILE), is flushed to the disk
// (fdatasync) and is given its name only then, so neither a kill nor a power
// cut leaves a partial file under the name. A new file is linked in, never
// over anything: when a file of that name is there already, or appears
// before the link, the result is EEXIST and that file is untouched, unless
// `replace`, when it is replaced by a hidden link and a rename, a window of
// two calls. Where the file system has no unnamed files, a hidden named file
// is filled instead and removed on any failure; the first such write into a
// folder in a process removes the hidden files of that pattern left there by
// processes that no longer exist (see below). A replaced file keeps its
// permission bits; a new file is created with mode 0666 under the umask and
// the folder's default ACL. A target that is a folder (EISDIR) is refused;
// with `replace`, so is one that is not a regular file (EINVAL) or that
// nobody may write (EACCES: rename alone would replace it, and root ignores
// permission bits). Returns 0, or the errno of the step that failed.
int WriteFileReplacing(int folder, const std::string& name, std::span<const std::uint8_t> bytes,
                       TemporaryFileKind kind = TemporaryFileKind::Unnamed, bool replace = true);

// Whether `name` has exactly the pattern of WriteFileReplacing's hidden
// files, and the process id in it. Files of the pattern are removed only
// when that process is gone, they belong to the running user and were last
// changed before the running process started.
bool IsTemporaryFileName(const std::string& name, long* pid = nullptr);

}  // namespace quorvale
