#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvale {

// Thin wrappers over the file system. Paths are byte strings, passed to the
// system unchanged.

// Identity of a folder (device and inode), to tell a folder met again through
// a link from a new one.
struct FolderId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FolderId&, const FolderId&) = default;
};

// What identifies a file's content as it was met: a change to the file
// changes one of these.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t bytes = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& st);

struct FolderEntry {
  std::string name;       // as the file system reports it
  bool isFolder = false;  // a folder, or a link that leads to one
  FolderId id;            // meaningful for folders only
};

// Opens `path` as open(2) would, with O_CLOEXEC added, also when it is
// longer than the system's path limit (PATH_MAX): such a path is opened from
// its longest leading part within the limit, then folder by folder with
// openat until the rest fits. -1 with errno set when it cannot be opened
// (ENAMETOOLONG only for a single name above the file system's name limit).
int OpenLongPath(const std::string& path, int flags, mode_t mode = 0);

// Called with the path of every OpenLongPath, on the thread that opens, so
// that a test can count how often a run opens each file; none by default.
// Set only while no other thread opens files.
using OpenObserver = void (*)(const std::string& path);
void ObserveOpens(OpenObserver observer);

// The entries of `folder` other than "." and "..", sorted by name bytes so
// that every listing of the same folder comes out in the same order. Hidden
// entries are included. Paths of any length. nullopt when the folder cannot
// be listed.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// The identity of the folder at `path` (links followed, any length);
// nullopt if none.
std::optional<FolderId> IdentifyFolder(const std::string& path);

// Walks up from the folder at `folder` as it really is (links resolved;
// where it does not exist yet, from the nearest existing folder above it,
// since the rest would be made as plain folders) through each parent to the
// root: the index in `stops` of the first folder met, itself included, that
// is one of `stops`, or -1 when none is met or nothing can be opened.
int FirstFolderMet(const std::string& folder, const std::vector<FolderId>& stops);

// True when `folder` is a folder that can be entered (what making it the
// current folder would need), without making it current.
bool IsUsableFolder(const std::string& folder);

// Creates `folder` and every missing folder above it, outermost first.
// True when the folder exists afterwards; otherwise errno says why.
bool CreateFolders(const std::string& folder);

// stat(2) of `path` (links followed), also when it is longer than the
// system's path limit; false with errno set when there is nothing to stat.
bool StatPath(const std::string& path, struct stat& st);

// True when something (not a folder) exists at `path` (any length).
bool FileExists(const std::string& path);

// Gives the file at `to` the modification time `stamp` holds, to the
// nanosecond; its access time is left as it is. False when the file cannot
// be reached or the time cannot be set.
bool SetModificationTime(const std::string& to, const FileStamp& stamp);

}  // namespace quorvale
