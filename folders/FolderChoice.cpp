#include "folders/FolderChoice.h"

#include "folders/FolderScan.h"
#include "folders/PathRules.h"
#include "platform/FileSystem.h"

namespace quorvale {

std::optional<std::string> AcceptBrowsedFolder(Window& window, const std::string& path) {
  // A dialog gives no path of one byte except the root, which is a folder
  // like any other here.
  if (path.size() <= 1 && path != "/") return std::nullopt;
  if (!ChangeDirectory(path)) {
    window.ShowMessage("入力フォルダの指定が無効か使用不能です。");
    return std::nullopt;
  }
  return WithSeparator(path, PathSyntax::Native());
}

std::optional<std::string> ProcessDroppedFolder(RunState& state, Window& window,
                                                const std::vector<std::string>& items) {
  // The shell's list holds only items with a path; an empty one would be
  // scanned as the root of the file system.
  for (const std::string& item : items) {
    if (item.empty()) continue;
    ScanInputFolder(state, window, item);
    return item;
  }
  return std::nullopt;
}

std::optional<std::string> CreateOutputSubfolder(Window& window,
                                                 const std::string& outputFolderText,
                                                 const std::string& typed) {
  const PathSyntax syntax = PathSyntax::Native();
  const std::string name = typed.substr(0, MaxFolderFieldLength);
  if (name.empty()) {
    window.ShowMessage("文字列が入力されていません。");
    return std::nullopt;
  }
  if (HasForbiddenChar(name, ForbiddenNameChars, syntax) != -1) {
    window.ShowMessage("不正な記号が含まれています。");
    return std::nullopt;
  }
  const std::string parent = WithSeparator(outputFolderText, syntax);
  if (parent.size() + name.size() > MaxSubfolderPathLength) {
    window.ShowMessage("フォルダ名が2040文字を超えています。");
    return std::nullopt;
  }
  const std::string folder = parent + name;
  // Making it current is the existence test; on success it stays current.
  if (ChangeDirectory(folder)) {
    window.ShowMessage("出力先フォルダが既に存在しています。\n" + folder);
    return std::nullopt;
  }
  if (!CreateFolders(folder)) {
    window.ShowMessage("出力先フォルダが作成出来ませんでした。\n" + folder);
    return std::nullopt;
  }
  return folder + syntax.separator;
}

}  // namespace quorvale
