#pragma once

// Feeds arbitrary bytes to a photo reader, whole and by region. The first 8
// bytes place the rectangle (its left, top, width and height as 16-bit
// fractions of what the picture leaves); the rest is the file. Any input
// must end in a refusal or in rows of the size the header states; when the
// whole decode succeeds the region's must too, byte for byte the same
// rectangle of it. Cancels after a fixed number of checks cap one input's
// work; an input either decode cancels is not compared.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

#include "codec/PhotoReader.h"
#include "pixels/Bitmap.h"
#include "pixels/RowSink.h"

namespace quorvale::fuzz {

inline int Fraction(const std::uint8_t* data, int of) {
  const int share = data[0] << 8 | data[1];
  return static_cast<int>(static_cast<std::int64_t>(share) * of >> 16);
}

template <typename Open>
int FuzzReader(const std::uint8_t* data, std::size_t size, Open open) {
  constexpr std::size_t RectBytes = 8;
  constexpr int MaxChecks = 4096;
  if (size < RectBytes) return 0;
  const std::span<const std::uint8_t> file(data + RectBytes, size - RectBytes);
  int checks = 0;
  const CancelCheck cancel = [&] { return ++checks > MaxChecks; };
  // The pixels a decode may hold: larger pictures are refused by admission,
  // whose bounds the unit tests check.
  const DecodeAdmission admit = [](std::uint64_t bytes) {
    return bytes <= (std::uint64_t{1} << 28);
  };

  OpenedPhoto whole = open(file);
  if (!whole.reader) return 0;
  const PixelSize picture = whole.reader->Header().size;
  if (picture.width < 1 || picture.height < 1) std::abort();
  Bitmap full;
  BitmapSink fullSink(full);
  const DecodeResult result = whole.reader->Decode(fullSink, std::nullopt, cancel, admit);
  if (!result.Ok()) return 0;
  if (full.Width() != picture.width || full.Height() != picture.height) std::abort();

  const int left = Fraction(data, picture.width);
  const int top = Fraction(data + 2, picture.height);
  const PixelRect rect{left, top, std::max(1, Fraction(data + 4, picture.width - left + 1)),
                       std::max(1, Fraction(data + 6, picture.height - top + 1))};
  OpenedPhoto again = open(file);
  if (!again.reader) std::abort();
  Bitmap part;
  BitmapSink partSink(part);
  checks = 0;
  const DecodeResult partResult = again.reader->Decode(partSink, rect, cancel, admit);
  if (partResult.status == DecodeStatus::Cancelled) return 0;
  if (!partResult.Ok() || part.Width() != rect.width || part.Height() != rect.height) std::abort();
  for (int y = 0; y < rect.height; ++y) {
    if (std::memcmp(part.Row(y), full.Row(rect.top + y) + 3 * rect.left,
                    3 * static_cast<std::size_t>(rect.width)) != 0) {
      std::abort();
    }
  }
  return 0;
}

}  // namespace quorvale::fuzz
