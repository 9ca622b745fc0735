// Decodes a region of arbitrary bytes and the whole of them, and checks the
// region against the same rectangle of the whole decode: byte for byte when
// the whole decode succeeds, which the region's must then do too (it reads
// less, so it may also succeed where the whole fails). The first 8 bytes
// place the rectangle: its left, top, width and height as 16-bit fractions
// of what the picture leaves; the rest is the file. Cancels cap the work of
// one input as in the load fuzzer; an input either decode cancels is not
// compared. A region it decodes is then decoded again into a ReducingSink,
// reduced to two thirds of its sides as its rows come (to a quarter when
// bit 1 of the rectangle's last byte is set, high quality when bit 0 is),
// and checked against the region's bitmap reduced whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

#include "codec/JpegReader.h"
#include "codec/PhotoReader.h"
#include "geometry/TrimPosition.h"
#include "pixels/Bitmap.h"
#include "pixels/Reduction.h"

namespace {

using quorvale::DecodeStatus;

constexpr std::size_t RectBytes = 8;

int Fraction(const std::uint8_t* data, int of) {
  const int share = data[0] << 8 | data[1];
  return static_cast<int>(static_cast<std::int64_t>(share) * of >> 16);
}

// The reduction of `region`, a rectangle `rect` of `jpeg`, as its rows come
// from the decoder against the reduction of the whole bitmap.
void CheckReducedAsDecoded(std::span<const std::uint8_t> jpeg, const quorvale::PixelRect& rect,
                           quorvale::Bitmap region, bool quarter, bool highQuality) {
  // The work of a reduction grows with the region, and the cancels do not
  // reach it.
  if (static_cast<std::int64_t>(rect.width) * rect.height > (1 << 20)) return;
  const int num = quarter ? 1 : 2, den = quarter ? 4 : 3;
  const quorvale::PixelSize box{std::max(1, rect.width * num / den),
                                std::max(1, rect.height * num / den)};
  quorvale::ReductionScratch scratch;
  const quorvale::ReduceResult whole =
      quorvale::ReducePhoto(region, scratch, box.width, box.height, highQuality, {});
  quorvale::Bitmap streamed;
  quorvale::ReducingSink sink(streamed, box, highQuality);
  const quorvale::DecodeResult result = quorvale::DecodeJpegMemory(jpeg, sink, {}, rect);
  if (!result.Ok() || sink.Declined() != whole.declined) std::abort();
  for (int y = 0; y < box.height; ++y) {
    if (std::memcmp(streamed.Row(y), region.Row(y), 3 * static_cast<std::size_t>(box.width)) != 0) {
      std::abort();
    }
  }
}

quorvale::PixelRect Place(const std::uint8_t* data, int width, int height) {
  const int left = Fraction(data, width);
  const int top = Fraction(data + 2, height);
  return {left, top, 1 + Fraction(data + 4, width - left), 1 + Fraction(data + 6, height - top)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size <= RectBytes) return 0;
  const std::span<const std::uint8_t> jpeg(data + RectBytes, size - RectBytes);
  constexpr int MaxProgressCalls = 4096;
  int calls = 0;
  const quorvale::CancelCheck cancel = [&] { return ++calls > MaxProgressCalls; };

  // The region is placed from the header, before the decode.
  const quorvale::OpenedPhoto opened = quorvale::OpenJpegMemory(jpeg, cancel);
  if (!opened.reader) return 0;
  const quorvale::PixelSize picture = opened.reader->Header().size;
  const quorvale::PixelRect rect = Place(data, picture.width, picture.height);
  quorvale::Bitmap region;
  const quorvale::DecodeResult part =
      quorvale::DecodeToBitmap(*opened.reader, region, rect, cancel);
  if (part.status == DecodeStatus::Cancelled) return 0;
  if (part.status == DecodeStatus::Decoded)
    CheckReducedAsDecoded(jpeg, rect, region, data[7] & 2, data[7] & 1);
  calls = 0;
  quorvale::Bitmap full;
  const quorvale::DecodeResult whole = quorvale::DecodeJpegMemory(jpeg, full, cancel);
  if (whole.status == DecodeStatus::Cancelled || whole.status != DecodeStatus::Decoded) return 0;

  if (part.status != DecodeStatus::Decoded) std::abort();
  if (region.Width() != rect.width || region.Height() != rect.height) std::abort();
  for (int y = 0; y < rect.height; ++y) {
    const std::uint8_t* want = full.Row(rect.top + y) + 3 * static_cast<std::ptrdiff_t>(rect.left);
    if (std::memcmp(region.Row(y), want, 3 * static_cast<std::size_t>(rect.width)) != 0) {
      std::abort();
    }
  }
  return 0;
}
