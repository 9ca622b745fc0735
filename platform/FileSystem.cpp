#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "platform/FileDescriptor.h"

namespace quorvale {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

OpenObserver openObserver = nullptr;

}  // namespace

FileStamp StampOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
          static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

void ObserveOpens(OpenObserver observer) {
  openObserver = observer;
}

bool StatPath(const std::string& path, struct stat& st) {
  if (path.size() < PATH_MAX) return stat(path.c_str(), &st) == 0;
  const FileDescriptor file(OpenLongPath(path, O_PATH));
  return file && fstat(file.Get(), &st) == 0;
}

int OpenLongPath(const std::string& path, int flags, mode_t mode) {
  flags |= O_CLOEXEC;
  if (openObserver != nullptr) openObserver(path);
  if (path.size() < PATH_MAX) return open(path.c_str(), flags, mode);
  // Each piece handed to openat ends in '/' and, with its terminating zero,
  // fits in PATH_MAX bytes; a leading '/' starts from the root.
  FileDescriptor folder;
  int base = AT_FDCWD;
  std::size_t start = 0;
  while (path.size() - start >= PATH_MAX) {
    const std::size_t cut = path.rfind('/', start + PATH_MAX - 2);
    if (cut == std::string::npos || cut < start) {
      errno = ENAMETOOLONG;
      return -1;
    }
    // A doubled separator inside the path is an empty step, not the root.
    if (cut > start || start == 0) {
      const std::string piece = path.substr(start, cut - start + 1);
      const int fd = openat(base, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) return -1;
      folder.Reset(fd);
      base = fd;
    }
    start = cut + 1;
  }
  return openat(base, path.c_str() + start, flags, mode);
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  FileDescriptor file(OpenLongPath(folder, O_RDONLY | O_DIRECTORY));
  if (!file) return std::nullopt;
  std::unique_ptr<DIR, DirCloser> dir(fdopendir(file.Get()));
  if (!dir) return std::nullopt;
  file.Release();
  std::vector<FolderEntry> entries;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry out{name, false, {}};
    // The listing gives each entry's type on most file systems, so only the
    // entries that may be folders are looked at: folders themselves, whose
    // device and inode the listing cannot give for a mount point, links,
    // and entries whose type the file system does not say.
    const unsigned char type = entry->d_type;
    struct stat st {};
    // Relative to the open folder, so paths longer than PATH_MAX still work;
    // links are followed, so a link to a folder is a folder, as the walk wants.
    if ((type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN) &&
        fstatat(dirfd(dir.get()), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
      out.isFolder = true;
      out.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
    entries.push_back(std::move(out));
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

std::optional<FolderId> IdentifyFolder(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, st) || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

int FirstFolderMet(const std::string& folder, const std::vector<FolderId>& stops) {
  std::string existing = folder;
  FileDescriptor current(OpenLongPath(existing, O_PATH | O_DIRECTORY));
  while (!current && errno == ENOENT) {
    while (existing.size() > 1 && existing.back() == '/') existing.pop_back();
    const std::size_t slash = existing.rfind('/');
    if (slash == std::string::npos) return -1;
    existing.resize(slash == 0 ? 1 : slash);
    current.Reset(OpenLongPath(existing, O_PATH | O_DIRECTORY));
  }
  if (!current) return -1;
  // ".." of an open folder is its real parent whatever links led there;
  // the root is its own parent.
  FolderId previous{~std::uint64_t{0}, ~std::uint64_t{0}};
  for (;;) {
    struct stat st {};
    if (fstat(current.Get(), &st) != 0) return -1;
    const FolderId id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    const auto found = std::find(stops.begin(), stops.end(), id);
    if (found != stops.end()) return static_cast<int>(found - stops.begin());
    if (id == previous) return -1;
    previous = id;
    current.Reset(openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current) return -1;
  }
}

bool CreateFolders(const std::string& folder) {
  if (folder.empty()) return false;
  // Walk the levels outermost first; each existing level counts as done.
  for (std::size_t end = 1; end <= folder.size(); ++end) {
    if (end != folder.size() && folder[end] != '/') continue;
    const std::string level = folder.substr(0, end);
    if (level.back() == '/') continue;
    struct stat st {};
    if (stat(level.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
      }
      continue;
    }
    if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

bool IsUsableFolder(const std::string& folder) {
  struct stat st {};
  return !folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(folder.c_str(), X_OK) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool SetModificationTime(const std::string& to, const FileStamp& stamp) {
  const struct timespec times[2] = {
      {0, UTIME_OMIT},
      {static_cast<time_t>(stamp.modifiedSeconds), static_cast<long>(stamp.modifiedNanoseconds)}};
  return utimensat(AT_FDCWD, to.c_str(), times, 0) == 0;
}

}  // namespace quorvale
