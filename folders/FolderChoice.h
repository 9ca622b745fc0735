#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imaging/RunState.h"
#include "platform/Window.h"

namespace quorvale {

// What follows a folder-browse dialog: nullopt and nothing shown when the
// path is at most one byte (cancelled) and not the root "/"; nullopt after the message
// "入力フォルダの指定が無効か使用不能です。" when the folder cannot be made
// current; otherwise the folder, now current, with a separator at its end.
std::optional<std::string> AcceptBrowsedFolder(Window& window, const std::string& path);

// A drop of `items` on the window: when there is at least one, the first is
// scanned as the input folder and returned unchanged (no separator added,
// the current folder untouched); the others are ignored. Empty items are
// passed over, as the shell never lists an item without a path.
std::optional<std::string> ProcessDroppedFolder(RunState& state, Window& window,
                                                const std::vector<std::string>& items);

// The subfolder button after its prompt returned `typed`: checks the name
// (cut to 2000 bytes; empty, forbidden characters, 2040 bytes with the
// output folder, already there) and creates it with every missing level, so
// a separator in the name makes nested folders.
// Returns the new output folder text, ending in a separator, or nullopt after
// the message box that says why not.
std::optional<std::string> CreateOutputSubfolder(Window& window,
                                                 const std::string& outputFolderText,
                                                 const std::string& typed);

}  // namespace quorvale
