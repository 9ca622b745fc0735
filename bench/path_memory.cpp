// Peak resident memory of one photo's path through a run, in this process
// alone: run it fresh, so that nothing else has touched memory before.
//
//   path_memory PHOTO [none|plain|hq]     (default plain)
//
// Prints the peak next to the size of the decoded photo and their ratio.
// The peak is the high-water mark of this program's resident memory (VmHWM
// of /proc/self/status). getrusage's ru_maxrss is not used: Linux carries
// into it the peak of the process that started this one (exec records the
// old address space's peak), so started from a large benchmark it reports
// the benchmark. Exit status 0 when the path ran.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/PhotoPath.h"

namespace {

// Kilobytes of a "Name:   123 kB" line of /proc/self/status, or -1.
long StatusKilobytes(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(name);
  while (std::getline(status, line)) {
    if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
      return std::stol(line.substr(length + 1));
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvale;
  using namespace quorvale::bench;
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: path_memory PHOTO [none|plain|hq]\n");
    return 2;
  }
  const std::string mode = argc == 3 ? argv[2] : "plain";
  Reduction reduction;
  constexpr double plainGoal = 3.0;
  if (mode == "none") {
    reduction = Reduction::None;
  } else if (mode == "plain") {
    reduction = Reduction::Plain;
  } else if (mode == "hq") {
    reduction = Reduction::HighQuality;
  } else {
    std::fprintf(stderr, "path_memory: unknown mode %s\n", mode.c_str());
    return 2;
  }

  const long before = StatusKilobytes("VmHWM");
  PathResult result;
  {
    PathMemory memory;
    result = RunPhotoPath(memory, argv[1], OptionsFor(reduction));
  }
  const long peak = StatusKilobytes("VmHWM");
  if (!result.ok) {
    std::fprintf(stderr, "path_memory: the %s path failed on %s\n", mode.c_str(), argv[1]);
    return 1;
  }

  const double decodedMb = 3.0 * result.decoded.width * result.decoded.height / 1e6;
  const double peakMb = peak * 1024.0 / 1e6;
  const double ratio = peakMb / decodedMb;
  std::printf(
      "  %-5s peak %6.1f MB (%.1f MB of it before the photo), decoded %d x %d = %.1f MB,"
      " ratio %.2fx",
      mode.c_str(), peakMb, before * 1024.0 / 1e6, result.decoded.width, result.decoded.height,
      decodedMb, ratio);
  if (reduction == Reduction::Plain) {
    std::printf("  goal < %.0fx %s", plainGoal, ratio < plainGoal ? "met" : "MISSED");
  }
  std::printf("\n");
  return 0;
}
