// Scans a folder as a run does (all subfolders) and prints the counts, for
// scan_bench.sh to time against find(1). Usage: scan_folder FOLDER
#include <cstdio>

#include "folders/FolderScan.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const quorvale::FolderListing listing = quorvale::ScanInputFolder(argv[1], true);
  std::printf("%s\n", quorvale::ScanSummaryText(listing.counts).c_str());
  return listing.unlisted.empty() ? 0 : 1;
}
