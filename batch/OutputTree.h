#pragma once

#include <string>

namespace quorvale {

// Whether a photo's output at `output` would be written into the input
// tree: walking up from the real folder of `output` (FirstFolderMet), the
// input folder is met before the output folder. The output folder may lie
// inside the input folder (the scan passes over it), but a link in the
// output tree, or an output folder reached through one, may lead back to
// the photos themselves, whatever the path texts say. While the output
// folder is not there, it and all below it are made as plain folders, so
// only a ".." after a folder still to be made counts as the input tree.
bool OutputInInputTree(const std::string& output, const std::string& inputFolder,
                       const std::string& outputFolder);

// Leaves the OutputMarkName file at the root of the output tree,
// `outputFolder`, making the folder when it is not there. Returns 0, or the
// errno of the step that failed.
int MarkOutputTree(const std::string& outputFolder);

}  // namespace quorvale
