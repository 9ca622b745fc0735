#include "platform/SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

constexpr char TemporaryPrefix[] = ".quorvale-";
constexpr char TemporarySuffix[] = ".tmp";
constexpr std::size_t RandomDigits = 16;
constexpr int MaxNameAttempts = 100;

int SystemOpenAt(int folder, const char* name, int flags, mode_t mode) {
  return ::openat(folder, name, flags, mode);
}

const FileCalls SystemCalls{SystemOpenAt, ::linkat, ::renameat2};
std::atomic<const FileCalls*> CurrentCalls{&SystemCalls};

const FileCalls& Calls() {
  return *CurrentCalls.load(std::memory_order_acquire);
}

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

// Removes, once per folder and process, the hidden files that a run killed
// while filling one left behind: only files of the exact pattern, of a
// process that no longer exists (a process that has the pid, even an
// unrelated one, keeps them), owned by this user and last changed before
// this process started. Folders are told apart by device, inode and birth
// time, as a folder that was removed and made again may get the same inode.
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

// Errors by which a file system says it lacks a way, rather than that the
// way failed.
bool Unsupported(int error) {
  return error == EOPNOTSUPP || error == ENOSYS || error == EINVAL || error == EPERM;
}

}  // namespace

struct SafeFile::State {
  int folder = -1;
  FileDescriptor ownFolder;  // when the file was started from a path
  std::string name;
  IfExists ifExists = IfExists::Keep;
  mode_t mode = 0666;
  FileDescriptor file;
  std::string hidden;  // the hidden name the file has now; empty while unnamed
  int error = 0;
  bool done = false;

  ~State() {
    if (!hidden.empty()) ::unlinkat(folder, hidden.c_str(), 0);
  }

  void Start(const std::string& target, mode_t wanted) {
    name = target;
    mode = wanted;
    struct stat old {};
    bool exists = false;
    if (::fstatat(folder, name.c_str(), &old, 0) == 0) {
      if (S_ISDIR(old.st_mode)) {
        error = EISDIR;
      } else if (ifExists == IfExists::Keep) {
        error = EEXIST;
      } else if (!S_ISREG(old.st_mode)) {
        error = EINVAL;
      } else if ((old.st_mode & 0222) == 0 || ::faccessat(folder, name.c_str(), W_OK, 0) != 0) {
        error = EACCES;
      }
      exists = true;
    } else if (errno != ENOENT) {
      error = errno;
    }
    if (error == 0) error = MakeFile();
    if (error == 0 && exists) error = KeepBits(old.st_mode & 0777);
  }

  int MakeFile() {
    // Naming an unnamed file goes through /proc/self/fd, which is either
    // there for the whole run or not at all.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (canName) {
      file.Reset(Calls().openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
      if (file) return 0;
      // Only a file system without unnamed files goes on to a named one.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    }
    SweepStaleFiles(folder);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
      std::string temporary = TemporaryName();
      file.Reset(
          Calls().openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
      if (file) {
        hidden = std::move(temporary);
        return 0;
      }
      if (errno != EEXIST) return errno;
    }
    return EEXIST;
  }

  // A replaced file's permission bits, given only where they differ: a file
  // system that cannot keep modes (FAT) may refuse any change.
  int KeepBits(mode_t bits) {
    struct stat now {};
    if (::fstat(file.Get(), &now) != 0) return errno;
    if ((now.st_mode & 0777) == bits) return 0;
    return ::fchmod(file.Get(), bits) == 0 ? 0 : errno;
  }

  int Write(std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(file.Get(), bytes.data() + written, bytes.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      if (n == 0) return ENOSPC;
      written += static_cast<std::size_t>(n);
    }
    return 0;
  }

  int Commit() {
    // The data reaches the disk before the name does, so that after a power
    // cut a name holds either its old bytes or the whole new file.
    if (::fdatasync(file.Get()) != 0) return errno;
    if (hidden.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
      if (Calls().linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        if (file.Close()) return 0;
        // A close that failed after the link: the name must not stay on a
        // file whose last bytes may be missing.
        const int error = errno;
        ::unlinkat(folder, name.c_str(), 0);
        return error;
      }
      if (errno != EEXIST || ifExists == IfExists::Keep) return errno;
      if (const int error = LinkHidden(self)) return error;
    }
    if (!file.Close()) return errno;
    if (ifExists == IfExists::Replace) {
      if (Calls().renameat2(folder, hidden.c_str(), folder, name.c_str(), 0) != 0) return errno;
      hidden.clear();
      return 0;
    }
    if (Calls().renameat2(folder, hidden.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) {
      hidden.clear();
      return 0;
    }
    if (!Unsupported(errno)) return errno;
    // Without RENAME_NOREPLACE a link still refuses a taken name; the hidden
    // name goes with the state.
    if (Calls().linkat(folder, hidden.c_str(), folder, name.c_str(), 0) == 0) return 0;
    if (!Unsupported(errno)) return errno;
    return RenameOverReservation();
  }

  // The last way: an empty file takes the name exclusively, and the
  // complete one is renamed over it.
  int RenameOverReservation() {
    FileDescriptor reserved(
        Calls().openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!reserved) return errno;
    reserved.Reset();
    if (Calls().renameat2(folder, hidden.c_str(), folder, name.c_str(), 0) != 0) {
      const int error = errno;
      ::unlinkat(folder, name.c_str(), 0);
      return error;
    }
    hidden.clear();
    return 0;
  }

  int LinkHidden(const std::string& self) {
    SweepStaleFiles(folder);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
      std::string temporary = TemporaryName();
      if (Calls().linkat(AT_FDCWD, self.c_str(), folder, temporary.c_str(), AT_SYMLINK_FOLLOW) ==
          0) {
        hidden = std::move(temporary);
        return 0;
      }
      if (errno != EEXIST) return errno;
    }
    return EEXIST;
  }
};

SafeFile::SafeFile(std::unique_ptr<State> state) : state_(std::move(state)) {}
SafeFile::SafeFile(SafeFile&&) noexcept = default;
SafeFile& SafeFile::operator=(SafeFile&&) noexcept = default;
SafeFile::~SafeFile() = default;

SafeFile SafeFile::CreateIn(int folder, const std::string& name, IfExists ifExists, mode_t mode) {
  auto state = std::make_unique<State>();
  state->folder = folder;
  state->ifExists = ifExists;
  state->Start(name, mode);
  return SafeFile(std::move(state));
}

SafeFile SafeFile::Create(const std::string& path, IfExists ifExists, mode_t mode) {
  auto state = std::make_unique<State>();
  state->ifExists = ifExists;
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    state->folder = AT_FDCWD;
  } else {
    state->ownFolder.Reset(
        OpenLongPath(slash == 0 ? "/" : path.substr(0, slash), O_RDONLY | O_DIRECTORY));
    state->folder = state->ownFolder.Get();
    if (!state->ownFolder) state->error = errno;
  }
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (state->error == 0 && name.empty()) state->error = EISDIR;
  if (state->error == 0) state->Start(name, mode);
  return SafeFile(std::move(state));
}

int SafeFile::Error() const {
  return state_ ? state_->error : EBADF;
}

bool SafeFile::Append(std::span<const std::uint8_t> bytes) {
  if (!state_ || state_->error != 0 || state_->done) return false;
  state_->error = state_->Write(bytes);
  return state_->error == 0;
}

bool SafeFile::Append(std::string_view text) {
  return Append({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

int SafeFile::Commit() {
  if (!state_) return EBADF;
  if (state_->done) return state_->error != 0 ? state_->error : EALREADY;
  state_->done = true;
  if (state_->error == 0) state_->error = state_->Commit();
  return state_->error;
}

int WriteSafeFile(int folder, const std::string& name, std::span<const std::uint8_t> bytes,
                  IfExists ifExists, mode_t mode) {
  SafeFile file = SafeFile::CreateIn(folder, name, ifExists, mode);
  file.Append(bytes);
  return file.Commit();
}

int WriteSafeFile(const std::string& path, std::span<const std::uint8_t> bytes, IfExists ifExists,
                  mode_t mode) {
  SafeFile file = SafeFile::Create(path, ifExists, mode);
  file.Append(bytes);
  return file.Commit();
}

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

const FileCalls& SystemFileCalls() {
  return SystemCalls;
}

void UseFileCalls(const FileCalls* calls) {
  CurrentCalls.store(calls != nullptr ? calls : &SystemCalls, std::memory_order_release);
}

}  // namespace quorvale
