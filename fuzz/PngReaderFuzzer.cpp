// The PNG reader under ReaderFuzz.h's checks: libpng's limits, the bomb
// bound, every colour type and depth, interlacing and the region's cut.
#include "codec/PngReader.h"
#include "fuzz/ReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return quorvale::fuzz::FuzzReader(
      data, size, [](std::span<const std::uint8_t> file) { return quorvale::OpenPngMemory(file); });
}
