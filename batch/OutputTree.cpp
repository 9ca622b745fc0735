#include "batch/OutputTree.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "folders/FolderScan.h"
#include "folders/PathRules.h"
#include "platform/FileSystem.h"
#include "platform/SafeFile.h"

namespace quorvale {

namespace {

bool ClimbsFromNewFolders(std::string folder) {
  while (!folder.empty() && !IdentifyFolder(folder)) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::size_t slash = folder.rfind('/');
    if (folder.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, "..") == 0) {
      return true;
    }
    if (slash == std::string::npos || folder == "/") return false;
    folder.resize(slash == 0 ? 1 : slash);
  }
  return false;
}

}  // namespace

bool OutputInInputTree(const std::string& output, const std::string& inputFolder,
                       const std::string& outputFolder) {
  const std::optional<FolderId> input = IdentifyFolder(inputFolder);
  if (!input) return false;
  // An output folder not made yet is made as a plain folder, and all
  // below it with it: nothing there is a link. Only a ".." after a folder
  // still to be made ("out/new/..") would lead elsewhere, perhaps into
  // the input folder itself.
  const std::optional<FolderId> root = IdentifyFolder(outputFolder);
  if (!root) return ClimbsFromNewFolders(outputFolder);
  const std::size_t slash = output.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : output.substr(0, slash + 1);
  return FirstFolderMet(folder, {*input, *root}) == 0;
}

int MarkOutputTree(const std::string& outputFolder) {
  if (!CreateFolders(outputFolder)) return errno;
  constexpr std::string_view text =
      "Quorvale's output: later runs whose input folder holds this folder pass over it.\n";
  // A mark left by an earlier run is kept as it is.
  const int error = WriteSafeFile(
      WithSeparator(outputFolder) + OutputMarkName,
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), IfExists::Keep);
  return error == EEXIST ? 0 : error;
}

}  // namespace quorvale
