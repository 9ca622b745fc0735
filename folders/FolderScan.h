#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace quorvale {

// An ordered list of full paths, in the order they were met.
using PathList = std::vector<std::string>;

// The counts of a folder scan. A scan only adds to them; whoever starts one
// sets all three to 0 first.
struct ScanCounts {
  std::int32_t SubfolderCount = 0;  // folder entries met below the start folder
  std::int32_t FileCount = 0;       // every other entry met
  std::int32_t JpegCount = 0;       // those of them that were listed
  // Files ending in ".jpeg", ".jpe" or ".jfif" (any case) that were passed
  // over because the rules take ".jpg" alone.
  std::int32_t OtherJpegNameCount = 0;
  // Files ending in ".heic" or ".heif", and in ".png" (any case), passed
  // over because the rules take JPEG files alone.
  std::int32_t HeifNameCount = 0;
  std::int32_t PngNameCount = 0;
};

// A folder the scan met but could not list, and why (errno).
struct UnlistedFolder {
  std::string path;
  int error = 0;
  friend bool operator==(const UnlistedFolder&, const UnlistedFolder&) = default;
};
using UnlistedFolders = std::vector<UnlistedFolder>;

// The hidden file a run leaves at the root of its output tree, so that a
// later scan knows the folder for an earlier run's output.
inline constexpr const char* OutputMarkName = ".quorvale-output";

// A folder the scan passed over because it holds an earlier run's output
// (it has an OutputMarkName file), and the photos the rules would have
// listed in it.
struct EarlierOutput {
  std::string path;
  std::int32_t photos = 0;
  friend bool operator==(const EarlierOutput&, const EarlierOutput&) = default;
};
using EarlierOutputs = std::vector<EarlierOutput>;

// What a scan enters.
struct ScanRules {
  bool subfolders = true;              // enter the folders below the start folder
  std::optional<FolderId> excluded;    // a folder neither entered nor counted
  bool allJpegNames = false;           // list ".jpeg", ".jpe" and ".jfif" files too
  bool allPhotos = false;              // list those and ".heic", ".heif" and ".png" files too
  bool passOverEarlierOutputs = true;  // see EarlierOutput
};

// Walks `folder` depth first and appends to `list` the path of every file
// whose name ends in ".jpg" (any case; with `rules.allJpegNames` also
// ".jpeg", ".jpe" and ".jfif", and with `rules.allPhotos` those and ".heic",
// ".heif" and ".png", each counted by its kind otherwise), each spelled as WithSeparator(folder)
// followed by the subfolder names and the file name. Each folder's entries
// are taken in name-byte order; hidden entries count. Every folder entry
// adds to SubfolderCount and is entered when `rules.subfolders` says so; a
// folder already on the current walk (a link back up the tree) is counted
// but not entered, and the excluded folder (the output folder inside the
// input tree) is passed over altogether. Every other entry adds to
// FileCount, the listed ones to JpegCount too. Paths of any length are
// walked (the system's path limit does not apply). A folder that cannot be
// listed adds nothing to the counts and is appended to `unlisted`, when
// given, spelled as the walk reached it. A folder below the start folder
// that holds an earlier run's output is, with `rules.passOverEarlierOutputs`,
// neither listed nor counted, and is appended to `earlier`, when given.
void CollectFilesRecursive(const std::string& folder, const ScanRules& rules, PathList& list,
                           ScanCounts& counts, UnlistedFolders* unlisted = nullptr,
                           EarlierOutputs* earlier = nullptr);

// A fresh scan of `folder` with zeroed counters, as the window lists it.
struct FolderListing {
  PathList files;
  ScanCounts counts;
  UnlistedFolders unlisted;
  EarlierOutputs earlier;
};
FolderListing ScanInputFolder(const std::string& folder, bool subfolders, bool allJpegNames = false,
                              bool allPhotos = false);

// True when `name` ends in ".jpg" (any case): a name an output keeps.
bool HasJpgName(std::string_view name);

// "サブフォルダ数 %d  全ファイル数 %d   JPEGファイル数 %d", the status line
// after a scan.
std::string ScanSummaryText(const ScanCounts& counts);

}  // namespace quorvale
