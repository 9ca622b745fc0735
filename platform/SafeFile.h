#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quorvale {

// What a save does when its name is taken already.
enum class IfExists {
  Keep,     // the file there stays untouched and the save fails with EEXIST
  Replace,  // the file there is replaced, keeping its permission bits
};

// A file that takes its name only once it is complete, so that the name is
// at every moment either what it was or the whole new file: every file the
// program makes (photos, report pages, crop files) is written so. The data
// goes to a file nobody sees under the name, is flushed to the disk
// (fdatasync) and is given the name only then, so neither a kill nor a power
// cut leaves a partial file under it. The file to fill is, in this order:
//  1. an unnamed file of the folder (O_TMPFILE), linked in when complete;
//     a killed run leaves nothing;
//  2. else a hidden ".quorvale-<pid>-<16 hex digits>.tmp" in the folder,
//     renamed into place (RENAME_NOREPLACE, else link(), for a new name);
//     a killed run leaves that file, which the next writer into the folder
//     removes once its process is gone (see IsTemporaryFileName);
//  3. else, on a file system that can only open(O_EXCL) and rename() (FAT
//     and exFAT through FUSE, many shares), the same hidden file, renamed
//     over an empty file that reserves the new name exclusively; a kill
//     between the two calls leaves that empty file, which no reader takes
//     for a complete photo.
// A new file gets `mode` under the umask and the folder's default ACL, as
// any file the process creates. The checks at the start: a folder there is
// refused (EISDIR); with Keep, anything there (EEXIST, also a dangling
// link); with Replace, what is not a regular file (EINVAL) or what nobody
// may write (EACCES: a rename alone would replace it, and root ignores
// permission bits). A name taken between the start and the commit is
// caught again at the commit (EEXIST) with Keep; only the last way can lose
// that race to a writer that does not use O_EXCL.
class SafeFile {
 public:
  // Starts the file `name` in the folder open as `folder`, which must stay
  // open until the commit.
  static SafeFile CreateIn(int folder, const std::string& name, IfExists ifExists,
                           mode_t mode = 0666);
  // Starts the file at `path` (any length; no folder part: the current
  // folder), whose folder must exist.
  static SafeFile Create(const std::string& path, IfExists ifExists, mode_t mode = 0666);

  SafeFile(SafeFile&&) noexcept;
  SafeFile& operator=(SafeFile&&) noexcept;
  // An uncommitted file leaves nothing behind.
  ~SafeFile();

  // 0, or the errno of the first step that failed; nothing is written after
  // a failure.
  int Error() const;
  // Adds `bytes` at the end; false once any step has failed.
  bool Append(std::span<const std::uint8_t> bytes);
  bool Append(std::string_view text);
  // Flushes the file and gives it its name: 0, or the errno of the step that
  // failed, the name then left as it was. Once only.
  int Commit();

 private:
  struct State;
  explicit SafeFile(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// A whole file written as SafeFile writes it: 0 or errno.
int WriteSafeFile(int folder, const std::string& name, std::span<const std::uint8_t> bytes,
                  IfExists ifExists, mode_t mode = 0666);
int WriteSafeFile(const std::string& path, std::span<const std::uint8_t> bytes, IfExists ifExists,
                  mode_t mode = 0666);

// Whether `name` has exactly the pattern of the writer's hidden files, and
// the process id in it. The writer removes files of the pattern, once per
// folder and process before it first makes one there, when that process is
// gone, they belong to the running user and were last changed before the
// running process started.
bool IsTemporaryFileName(const std::string& name, long* pid = nullptr);

// The calls by which the writer makes and names its files, those a file
// system may lack; a test replaces them to act out such a file system.
struct FileCalls {
  int (*openat)(int folder, const char* name, int flags, mode_t mode);
  int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags);
  int (*renameat2)(int fromFolder, const char* from, int toFolder, const char* to,
                   unsigned int flags);
};

// The system's own calls.
const FileCalls& SystemFileCalls();

// Makes every writer of the process use `calls` (the system's again with
// nullptr), for tests; `calls` must outlive their use.
void UseFileCalls(const FileCalls* calls);

}  // namespace quorvale
