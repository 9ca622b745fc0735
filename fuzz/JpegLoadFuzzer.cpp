// Feeds arbitrary bytes to the JPEG load path: header checks, the decoder
// with every output conversion (grey through the quantizer, colour, CMYK) and
// the bitmap it fills. Any input must end in a decoded bitmap of the size the
// header states, or a refusal; never a crash, a leak or undefined behaviour.
// A cancel after a fixed number of progress calls caps the work of one
// input, so that inputs claiming large pictures (whose bounds the unit tests
// check) do not slow the search down; it also exercises the cancel path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/JpegReader.h"
#include "codec/PhotoReader.h"
#include "pixels/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int MaxProgressCalls = 4096;
  int calls = 0;
  const quorvale::CancelCheck cancel = [&] { return ++calls > MaxProgressCalls; };
  quorvale::Bitmap bitmap;
  const quorvale::DecodeResult result =
      quorvale::DecodeJpegMemory(std::span(data, size), bitmap, cancel);
  using quorvale::DecodeStatus;
  const bool cancelled = result.status == DecodeStatus::Cancelled;
  if (cancelled != (!result.Ok() && calls > MaxProgressCalls)) std::abort();
  if (result.Ok()) {
    if (bitmap.Width() < 1 || bitmap.Height() < 1) std::abort();
    // Touch the last row: a bitmap smaller than it claims shows up here.
    volatile std::uint8_t sink = 0;
    const std::uint8_t* row = bitmap.Row(bitmap.Height() - 1);
    for (int x = 0; x < bitmap.Width() * 3; ++x) sink = sink ^ row[x];
  }
  return 0;
}
