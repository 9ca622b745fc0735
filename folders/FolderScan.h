#pragma once

#include <string>
#include <vector>

#include "imaging/RunState.h"
#include "platform/PathSyntax.h"
#include "platform/ScanCounts.h"
#include "platform/Window.h"

namespace quorvale {

// An ordered list of full paths, in the order they were met.
using PathList = std::vector<std::string>;

// Walks `folder` depth first and appends to `list` the path of every file
// whose name ends in ".jpg" (any case), each spelled as WithSeparator(folder)
// followed by the subfolder names and the file name. Each folder's entries
// are taken in name-byte order; hidden entries count. Every folder entry
// adds to SubfolderCount and is entered unless CheckBox4 is ticked (read at
// every folder entry); a folder already on the current walk (a link back up
// the tree) is counted but not entered. Every other entry adds to FileCount,
// the listed ones to JpegCount too. A folder that cannot be listed adds
// nothing. Counters are only added to.
void CollectFilesRecursive(const std::string& folder, PathList& list, ScanCounts& counts,
                           Window& window, const PathSyntax& syntax = PathSyntax::Native());

// Zeroes the counters, clears the log and lists the JPEG files of `folder`
// in it, one line each. Always true.
bool ScanInputFolder(RunState& state, Window& window, const std::string& folder);

// "サブフォルダ数 %d  全ファイル数 %d   JPEGファイル数 %d" on the status line.
void ShowScanSummary(const ScanCounts& counts, Window& window);

}  // namespace quorvale
