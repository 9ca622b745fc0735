#include "platform/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/FileDescriptor.h"

namespace quorvale {
namespace {

constexpr char TemporaryPrefix[] = ".quorvale-";
constexpr char TemporarySuffix[] = ".tmp";
constexpr std::size_t RandomDigits = 16;

// When this process started, near enough: a hidden file changed since then
// may be one another run is filling right now.
const auto ProcessStart = std::chrono::system_clock::now();

// A hidden name of this process with 64 random bits, so that a user's own
// file is never taken for one. O_EXCL (or linkat's EEXIST) settles any clash.
std::string TemporaryName() {
  std::uint64_t random = 0;
  if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
    static std::atomic<std::uint64_t> serial{0};
    random =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) *
            0x9E3779B97F4A7C15ull +
        ++serial;
  }
  char name[96];
  std::snprintf(name, sizeof name, "%s%ld-%016llx%s", TemporaryPrefix,
                static_cast<long>(::getpid()), static_cast<unsigned long long>(random),
                TemporarySuffix);
  return name;
}

constexpr int MaxNameAttempts = 100;

// Removes, once per folder and process, the hidden files that a run killed
// between creating and renaming one left behind: only where the file system
// has no unnamed files (elsewhere no run leaves any), and only files of the
// exact pattern, of a process that no longer exists (a process that has
// the pid, even an unrelated one, keeps them), owned by this user and last
// changed before this process started.
// Folders are told apart by device, inode and birth time, as a folder that
// was removed and made again may get the same inode.
void SweepStaleFiles(int folder) {
  struct statx st {};
  if (::statx(folder, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &st) != 0) return;
  const std::tuple key{st.stx_dev_major, st.stx_dev_minor, st.stx_ino, st.stx_btime.tv_sec,
                       st.stx_btime.tv_nsec};
  static std::mutex mutex;
  static std::set<std::remove_const_t<decltype(key)>> swept;
  {
    const std::lock_guard lock(mutex);
    if (!swept.insert(key).second) return;
  }
  FileDescriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listing) return;
  DIR* dir = ::fdopendir(listing.Get());
  if (dir == nullptr) return;
  listing.Release();  // the listing owns it now
  const auto started = std::chrono::system_clock::to_time_t(ProcessStart);
  while (const dirent* entry = ::readdir(dir)) {
    long pid = 0;
    if (!IsTemporaryFileName(entry->d_name, &pid) || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat file {};
    if (::fstatat(folder, entry->d_name, &file, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(file.st_mode) && file.st_uid == ::geteuid() && file.st_mtime < started) {
      ::unlinkat(folder, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// 0, or the errno of a flush that failed.
int Flush(int fd) {
  return ::fdatasync(fd) == 0 ? 0 : errno;
}

// The file being filled: unnamed, or named and removed unless committed.
class PendingFile {
 public:
  explicit PendingFile(int folder) : folder_(folder) {}
  ~PendingFile() {
    if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // 0 or errno. Mode 0666 so that the umask and the folder's default ACL
  // shape it exactly as they would a plainly created file.
  int Create(TemporaryFileKind kind) {
    // Naming an unnamed file goes through /proc/self/fd, which is either
    // there for the whole run or not at all.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (kind == TemporaryFileKind::Unnamed && canName) {
      file_.Reset(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
      if (file_) return 0;
      // Only a file system without unnamed files falls back.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    }
    SweepStaleFiles(folder_);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
      std::string name = TemporaryName();
      file_.Reset(::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (file_) {
        name_ = std::move(name);
        return 0;
      }
      if (errno != EEXIST) return errno;
    }
    return EEXIST;
  }

  int Descriptor() const { return file_.Get(); }

  // Closes the file (a late write error shows here) and gives it the name
  // `target`. A new file is linked in (an unnamed one directly), which
  // fails with EEXIST when something has taken the name meanwhile; with
  // `replace` an existing target is renamed over, through a hidden link
  // for an unnamed file. 0 or errno.
  int Commit(const std::string& target, bool replace) {
    if (name_.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(file_.Get());
      if (::linkat(AT_FDCWD, self.c_str(), folder_, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return file_.Close() ? 0 : Undo(target);
      }
      if (errno != EEXIST || !replace) return errno;
      if (const int error = LinkHidden(self)) return error;
    }
    if (!file_.Close()) return errno;
    if (replace) {
      if (::renameat(folder_, name_.c_str(), folder_, target.c_str()) != 0) return errno;
    } else if (::renameat2(folder_, name_.c_str(), folder_, target.c_str(), RENAME_NOREPLACE) !=
               0) {
      // A file system without RENAME_NOREPLACE still refuses a link over a
      // name; the hidden one then goes with the destructor.
      if (errno != EINVAL && errno != ENOSYS) return errno;
      if (::linkat(folder_, name_.c_str(), folder_, target.c_str(), 0) != 0) return errno;
      return 0;
    }
    name_.clear();
    return 0;
  }

 private:
  int LinkHidden(const std::string& self) {
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
      std::string name = TemporaryName();
      if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        name_ = std::move(name);
        return 0;
      }
      if (errno != EEXIST) return errno;
    }
    return EEXIST;
  }

  // A close that failed after the link: the name must not stay on a file
  // whose last bytes may be missing.
  int Undo(const std::string& target) {
    const int error = errno;
    ::unlinkat(folder_, target.c_str(), 0);
    return error;
  }

  int folder_;
  std::string name_;
  FileDescriptor file_;
};

}  // namespace

bool IsTemporaryFileName(const std::string& name, long* pid) {
  const std::string_view prefix = TemporaryPrefix;
  const std::string_view suffix = TemporarySuffix;
  if (!name.starts_with(prefix) || !name.ends_with(suffix)) return false;
  const std::string_view middle =
      std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const std::size_t dash = middle.find('-');
  if (dash == 0 || dash > 10 || dash == std::string_view::npos ||
      middle.size() - dash - 1 != RandomDigits) {
    return false;
  }
  long value = 0;
  for (const char c : middle.substr(0, dash)) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  for (const char c : middle.substr(dash + 1)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  if (value <= 0) return false;
  if (pid != nullptr) *pid = value;
  return true;
}

int WriteFileReplacing(int folder, const std::string& name, std::span<const std::uint8_t> bytes,
                       TemporaryFileKind kind, bool replace) {
  struct stat st {};
  bool exists = false;
  if (::fstatat(folder, name.c_str(), &st, 0) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!replace) return EEXIST;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    if ((st.st_mode & 0222) == 0 || ::faccessat(folder, name.c_str(), W_OK, 0) != 0) {
      return EACCES;
    }
    exists = true;
  } else if (errno != ENOENT) {
    return errno;
  }

  PendingFile pending(folder);
  if (const int error = pending.Create(kind)) return error;
  if (!WriteAll(pending.Descriptor(), bytes)) return errno;
  if (exists && ::fchmod(pending.Descriptor(), st.st_mode & 0777) != 0) return errno;
  // The data reaches the disk before the name does, so that after a power
  // cut a name holds either its old bytes or the whole new file.
  if (const int error = Flush(pending.Descriptor())) return error;
  return pending.Commit(name, replace);
}

}  // namespace quorvale
