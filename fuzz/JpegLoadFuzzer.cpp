// Feeds arbitrary bytes to the JPEG load path: header checks, the decoder
// with every output conversion (grey through the quantizer, colour, CMYK) and
// the bitmap it fills. Any input must end in a decoded bitmap of the size the
// header states, or a refusal; never a crash, a leak or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imaging/Bitmap.h"
#include "imaging/JpegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvale::Bitmap bitmap;
  if (quorvale::DecodeJpegMemory(std::span(data, size), bitmap).code == 0) {
    if (bitmap.Width() < 1 || bitmap.Height() < 1) std::abort();
    // Touch the last row: a bitmap smaller than it claims shows up here.
    volatile std::uint8_t sink = 0;
    const std::uint8_t* row = bitmap.Row(bitmap.Height() - 1);
    for (int x = 0; x < bitmap.Width() * 3; ++x) sink = sink ^ row[x];
  }
  return 0;
}
