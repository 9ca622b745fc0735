#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvale {

// A folder chosen, or the message that says why not (the window shows it
// in a box). Both empty: nothing happened (a cancelled dialog).
struct FolderChoice {
  std::optional<std::string> folder;
  std::string message;
};

// What follows a folder-browse dialog: nothing when the path is at most one
// byte (cancelled) and not the root "/"; the message
// "入力フォルダの指定が無効か使用不能です。" when the folder cannot be
// entered; otherwise the folder with a separator at its end.
FolderChoice AcceptBrowsedFolder(const std::string& path);

// A drop of `items` on the window: the first item with a path, with a
// separator at its end, which the window then scans as the input folder;
// the others are ignored. Empty items are passed over, as the shell never
// lists an item without a path.
std::optional<std::string> FirstDroppedFolder(const std::vector<std::string>& items);

// The subfolder button after its prompt returned `typed`: checks the name
// (cut to 2000 bytes; empty, forbidden characters, 2040 bytes with the
// output folder, already there) and creates it with every missing level, so
// a separator in the name makes nested folders. The new output folder text
// ends in a separator.
FolderChoice CreateOutputSubfolder(const std::string& outputFolderText, const std::string& typed);

}  // namespace quorvale
