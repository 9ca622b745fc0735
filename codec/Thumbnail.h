#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale {

// The size of the thumbnail of a width x height picture: the longer side
// becomes `maxSide` (or stays, when shorter), the other in proportion,
// rounded to the nearest pixel and at least 1. 0 x 0 for an empty picture.
struct ThumbnailSize {
  int width;
  int height;
};
ThumbnailSize ThumbnailDimensions(int width, int height, int maxSide);

// A small copy of `bitmap` at ThumbnailDimensions: each pixel is the mean of
// up to 4 x 4 samples spread evenly over the source area it covers, so a
// large photo costs no more than a small one. Throws std::bad_alloc.
Bitmap MakeThumbnail(const Bitmap& bitmap, int maxSide);

struct ThumbnailJpeg {
  std::vector<std::uint8_t> bytes;
  int width = 0;
  int height = 0;
};

// MakeThumbnail encoded as a JPEG at `quality`; nullopt for an empty bitmap
// or when encoding fails.
std::optional<ThumbnailJpeg> MakeThumbnailJpeg(const Bitmap& bitmap, int maxSide = 200,
                                               int quality = 70);

}  // namespace quorvale
