#include "batch/OutputTree.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "folders/FolderScan.h"
#include "folders/PathRules.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/SafeFile.h"

namespace quorvale {

bool OutputInInputTree(const std::string& output, const std::string& inputFolder,
                       const std::string& outputFolder) {
  const std::optional<FolderId> input = IdentifyFolder(inputFolder);
  if (!input) return false;
  std::vector<FolderId> stops{*input};
  // An output folder not made yet is met by no walk.
  if (const std::optional<FolderId> root = IdentifyFolder(outputFolder)) stops.push_back(*root);
  const std::size_t slash = output.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : output.substr(0, slash + 1);
  return FirstFolderMet(folder, stops) == 0;
}

int MarkOutputTree(const std::string& outputFolder) {
  if (!CreateFolders(outputFolder)) return errno;
  const FileDescriptor folder(OpenLongPath(outputFolder, O_RDONLY | O_DIRECTORY));
  if (!folder) return errno;
  constexpr std::string_view text =
      "Quorvale's output: later runs whose input folder holds this folder pass over it.\n";
  // A mark left by an earlier run is kept as it is.
  const int error =
      WriteSafeFile(folder.Get(), OutputMarkName,
                    std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                    IfExists::Keep);
  return error == EEXIST ? 0 : error;
}

}  // namespace quorvale
