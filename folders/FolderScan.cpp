#include "folders/FolderScan.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>

#include "folders/PathRules.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

bool EndsIn(std::string_view name, std::string_view extension) {
  if (name.size() < extension.size()) return false;
  const char* tail = name.data() + name.size() - extension.size();
  for (std::size_t i = 0; i < extension.size(); ++i) {
    const char c =
        tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
    if (c != extension[i]) return false;
  }
  return true;
}

bool HasOtherJpegName(std::string_view name) {
  return EndsIn(name, ".jpeg") || EndsIn(name, ".jpe") || EndsIn(name, ".jfif");
}

bool HasHeifName(std::string_view name) {
  return EndsIn(name, ".heic") || EndsIn(name, ".heif");
}

struct Walk {
  PathList& list;
  ScanCounts& counts;
  const ScanRules& rules;
  UnlistedFolders* unlisted;
  EarlierOutputs* earlier;
  // The folders from the start down to the one being listed; a link that
  // leads to one of them would otherwise be walked until paths grow too long.
  std::vector<FolderId> ancestors;

  void Enter(const std::string& folder) {
    const std::string prefix = WithSeparator(folder);
    const std::optional<std::vector<FolderEntry>> entries = ListFolder(prefix);
    if (!entries) {
      if (unlisted != nullptr) unlisted->push_back({folder, errno});
      return;
    }
    for (const FolderEntry& entry : *entries) {
      if (entry.isFolder) {
        if (rules.excluded == entry.id) continue;
        const std::string path = prefix + entry.name;
        const bool walked = rules.subfolders && !OnWalk(entry.id);
        if (walked && rules.passOverEarlierOutputs &&
            FileExists(WithSeparator(path) + OutputMarkName)) {
          PassOver(path, entry.id);
          continue;
        }
        ++counts.SubfolderCount;
        if (!walked) continue;
        ancestors.push_back(entry.id);
        Enter(path);
        ancestors.pop_back();
      } else {
        const bool other = HasOtherJpegName(entry.name);
        const bool heif = HasHeifName(entry.name);
        const bool png = EndsIn(entry.name, ".png");
        if (HasJpgName(entry.name) || (other && (rules.allJpegNames || rules.allPhotos)) ||
            ((heif || png) && rules.allPhotos)) {
          list.push_back(prefix + entry.name);
          ++counts.JpegCount;
        } else if (other) {
          ++counts.OtherJpegNameCount;
        } else if (heif) {
          ++counts.HeifNameCount;
        } else if (png) {
          ++counts.PngNameCount;
        }
        ++counts.FileCount;
      }
    }
  }

  // An earlier output is walked only to count the photos it holds.
  void PassOver(const std::string& path, const FolderId& id) {
    if (earlier == nullptr) return;
    PathList photos;
    ScanCounts inside;
    Walk walk{photos, inside, rules, nullptr, nullptr, ancestors};
    walk.ancestors.push_back(id);
    walk.Enter(path);
    earlier->push_back({path, inside.JpegCount});
  }

  bool OnWalk(const FolderId& id) const {
    for (const FolderId& a : ancestors) {
      if (a == id) return true;
    }
    return false;
  }
};

}  // namespace

bool HasJpgName(std::string_view name) {
  return EndsIn(name, ".jpg");
}

void CollectFilesRecursive(const std::string& folder, const ScanRules& rules, PathList& list,
                           ScanCounts& counts, UnlistedFolders* unlisted, EarlierOutputs* earlier) {
  // An empty text would become a lone separator, the root of every file.
  if (folder.empty()) return;
  Walk walk{list, counts, rules, unlisted, earlier, {}};
  if (const std::optional<FolderId> start = IdentifyFolder(folder)) {
    walk.ancestors.push_back(*start);
  }
  walk.Enter(folder);
}

FolderListing ScanInputFolder(const std::string& folder, bool subfolders, bool allJpegNames,
                              bool allPhotos) {
  FolderListing listing;
  CollectFilesRecursive(folder, ScanRules{subfolders, std::nullopt, allJpegNames, allPhotos},
                        listing.files, listing.counts, &listing.unlisted, &listing.earlier);
  return listing;
}

std::string ScanSummaryText(const ScanCounts& counts) {
  char text[2048];
  std::snprintf(text, sizeof text, "サブフォルダ数 %d  全ファイル数 %d   JPEGファイル数 %d",
                counts.SubfolderCount, counts.FileCount, counts.JpegCount);
  return text;
}

}  // namespace quorvale
