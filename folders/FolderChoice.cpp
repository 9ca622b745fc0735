#include "folders/FolderChoice.h"

#include "folders/PathRules.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

FolderChoice Refused(std::string message) {
  return {std::nullopt, std::move(message)};
}

}  // namespace

FolderChoice AcceptBrowsedFolder(const std::string& path) {
  // A dialog gives no path of one byte except the root, which is a folder
  // like any other here.
  if (path.size() <= 1 && path != "/") return {};
  if (!IsUsableFolder(path)) return Refused("入力フォルダの指定が無効か使用不能です。");
  return {WithSeparator(path), {}};
}

std::optional<std::string> FirstDroppedFolder(const std::vector<std::string>& items) {
  // The shell's list holds only items with a path; an empty one would be
  // scanned as the root of the file system.
  for (const std::string& item : items) {
    if (!item.empty()) return WithSeparator(item);
  }
  return std::nullopt;
}

FolderChoice CreateOutputSubfolder(const std::string& outputFolderText, const std::string& typed) {
  const std::string name = typed.substr(0, MaxFolderFieldLength);
  if (name.empty()) return Refused("文字列が入力されていません。");
  if (HasForbiddenChar(name) != -1) {
    return Refused("不正な記号が含まれています。");
  }
  const std::string parent = WithSeparator(outputFolderText);
  if (parent.size() + name.size() > MaxSubfolderPathLength) {
    return Refused("フォルダ名が2040文字を超えています。");
  }
  const std::string folder = parent + name;
  if (IsUsableFolder(folder)) return Refused("出力先フォルダが既に存在しています。\n" + folder);
  if (!CreateFolders(folder)) return Refused("出力先フォルダが作成出来ませんでした。\n" + folder);
  return {WithSeparator(folder), {}};
}

}  // namespace quorvale
