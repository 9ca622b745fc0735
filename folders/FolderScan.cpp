#include "folders/FolderScan.h"

#include <cstdio>
#include <optional>

#include "folders/PathRules.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

bool EndsInJpg(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.data() + name.size() - 4;
  return tail[0] == '.' && (tail[1] == 'j' || tail[1] == 'J') &&
         (tail[2] == 'p' || tail[2] == 'P') && (tail[3] == 'g' || tail[3] == 'G');
}

struct Walk {
  PathList& list;
  ScanCounts& counts;
  Window& window;
  const PathSyntax& syntax;
  // The folders from the start down to the one being listed; a link that
  // leads to one of them would otherwise be walked until paths grow too long.
  std::vector<FolderId> ancestors;

  void Enter(const std::string& folder) {
    const std::string prefix = WithSeparator(folder, syntax);
    const std::optional<std::vector<FolderEntry>> entries = ListFolder(prefix);
    if (!entries) return;
    for (const FolderEntry& entry : *entries) {
      if (entry.isFolder) {
        ++counts.SubfolderCount;
        if (window.IsChecked(CheckBox::CheckBox4) || OnWalk(entry.id)) continue;
        ancestors.push_back(entry.id);
        Enter(prefix + entry.name);
        ancestors.pop_back();
      } else {
        if (EndsInJpg(entry.name)) {
          list.push_back(prefix + entry.name);
          ++counts.JpegCount;
        }
        ++counts.FileCount;
      }
    }
  }

  bool OnWalk(const FolderId& id) const {
    for (const FolderId& a : ancestors) {
      if (a == id) return true;
    }
    return false;
  }
};

}  // namespace

void CollectFilesRecursive(const std::string& folder, PathList& list, ScanCounts& counts,
                           Window& window, const PathSyntax& syntax) {
  // An empty text would become a lone separator, the root of every file.
  if (folder.empty()) return;
  Walk walk{list, counts, window, syntax, {}};
  if (const std::optional<FolderId> start = IdentifyFolder(folder)) {
    walk.ancestors.push_back(*start);
  }
  walk.Enter(folder);
}

bool ScanInputFolder(RunState& state, Window& window, const std::string& folder) {
  state.SubfolderCount = 0;
  state.FileCount = 0;
  state.JpegCount = 0;
  window.ClearLog();
  PathList list;
  CollectFilesRecursive(folder, list, state, window);
  for (const std::string& path : list) window.AppendLog(path);
  return true;
}

void ShowScanSummary(const ScanCounts& counts, Window& window) {
  char text[2048];
  std::snprintf(text, sizeof text, "サブフォルダ数 %d  全ファイル数 %d   JPEGファイル数 %d",
                counts.SubfolderCount, counts.FileCount, counts.JpegCount);
  window.SetStatusText(text);
}

}  // namespace quorvale
