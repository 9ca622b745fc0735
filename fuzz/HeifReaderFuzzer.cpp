// The HEIF reader under ReaderFuzz.h's checks: the walk of the boxes that
// bounds items and references before libheif parses them, libheif's
// parsing and decoding, the Exif and colour description taken from it.
#include "codec/HeifReader.h"
#include "fuzz/ReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return quorvale::fuzz::FuzzReader(data, size, [](std::span<const std::uint8_t> file) {
    return quorvale::OpenHeifMemory(file);
  });
}
