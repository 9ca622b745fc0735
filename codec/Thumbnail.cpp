#include "codec/Thumbnail.h"

#include <algorithm>
#include <new>

#include "codec/JpegFile.h"

namespace quorvale {
namespace {

constexpr int MaxSamples = 4;

// The sample positions of target index i of `count` over `sourceCount`
// source indices: up to MaxSamples, centred in equal parts of its span.
int Samples(int i, int count, int sourceCount, int* positions) {
  const std::int64_t begin = static_cast<std::int64_t>(i) * sourceCount / count;
  const std::int64_t end =
      std::max<std::int64_t>(begin + 1, static_cast<std::int64_t>(i + 1) * sourceCount / count);
  const int n = static_cast<int>(std::min<std::int64_t>(MaxSamples, end - begin));
  for (int k = 0; k < n; ++k) {
    positions[k] = static_cast<int>(begin + (2 * k + 1) * (end - begin) / (2 * n));
  }
  return n;
}

}  // namespace

ThumbnailSize ThumbnailDimensions(int width, int height, int maxSide) {
  if (width <= 0 || height <= 0 || maxSide <= 0) return {0, 0};
  const int longer = std::max(width, height);
  if (longer <= maxSide) return {width, height};
  const auto scaled = [&](int side) {
    return std::max(1, static_cast<int>((static_cast<std::int64_t>(side) * maxSide * 2 + longer) /
                                        (2 * static_cast<std::int64_t>(longer))));
  };
  return width >= height ? ThumbnailSize{maxSide, scaled(height)}
                         : ThumbnailSize{scaled(width), maxSide};
}

Bitmap MakeThumbnail(const Bitmap& bitmap, int maxSide) {
  const ThumbnailSize size = ThumbnailDimensions(bitmap.Width(), bitmap.Height(), maxSide);
  Bitmap thumbnail;
  thumbnail.Allocate(size.width, size.height);
  std::vector<int> columns(static_cast<std::size_t>(size.width) * MaxSamples);
  std::vector<int> columnCounts(static_cast<std::size_t>(size.width));
  for (int x = 0; x < size.width; ++x) {
    columnCounts[x] = Samples(x, size.width, bitmap.Width(), &columns[x * MaxSamples]);
  }
  int rows[MaxSamples];
  for (int y = 0; y < size.height; ++y) {
    const int rowCount = Samples(y, size.height, bitmap.Height(), rows);
    std::uint8_t* to = thumbnail.Row(y);
    for (int x = 0; x < size.width; ++x, to += 3) {
      unsigned sum[3] = {0, 0, 0};
      for (int r = 0; r < rowCount; ++r) {
        const std::uint8_t* row = bitmap.Row(rows[r]);
        for (int c = 0; c < columnCounts[x]; ++c) {
          const std::uint8_t* p = row + 3 * columns[x * MaxSamples + c];
          sum[0] += p[0];
          sum[1] += p[1];
          sum[2] += p[2];
        }
      }
      const unsigned n = static_cast<unsigned>(rowCount * columnCounts[x]);
      for (int i = 0; i < 3; ++i) to[i] = static_cast<std::uint8_t>((sum[i] + n / 2) / n);
    }
  }
  return thumbnail;
}

std::optional<ThumbnailJpeg> MakeThumbnailJpeg(const Bitmap& bitmap, int maxSide, int quality) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return std::nullopt;
  try {
    const Bitmap thumbnail = MakeThumbnail(bitmap, maxSide);
    std::optional<std::vector<std::uint8_t>> bytes = EncodeJpeg(thumbnail, quality);
    if (!bytes) return std::nullopt;
    return ThumbnailJpeg{std::move(*bytes), thumbnail.Width(), thumbnail.Height()};
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace quorvale
