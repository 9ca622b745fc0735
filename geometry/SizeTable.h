#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvale {

// The largest width or height of a photo that the centre trim and the
// high-quality reduction accept, unless a run takes large photos.
inline constexpr int MaxPhotoSide = 6200;

enum class SizeKind { Print, Fixed };

// One row of the size table (its caption is in messages/). For print sizes
// L and S are the 400-dpi values.
struct SizePreset {
  int screenRow;  // 1-based row on screen, top to bottom
  SizeKind kind;
  std::int32_t L;
  std::int32_t S;
  const char* id;  // the --size value of quorvale-batch
};

// The sizes, L first: the eighteen of the window's size list, then those
// offered by name only (DSC 89 x 119 mm, postcard 100 x 148 mm).
std::span<const SizePreset> SizeTable();

// How many rows, from the first, the window's size list shows.
inline constexpr std::size_t ListedSizes = 18;

// The five print resolutions, in dots per inch.
std::span<const std::int32_t> PrintResolutions();

struct LongShort {
  std::int32_t L;
  std::int32_t S;
  friend bool operator==(const LongShort&, const LongShort&) = default;
};

// A size as a front end offers it: a row of the size table and a print
// resolution, which a fixed pixel size ignores. A row beyond the table is
// the first, L.
struct SizeChoice {
  std::size_t preset = 0;  // index into SizeTable()
  std::int32_t dpi = 400;
  const SizePreset& Preset() const;
  friend bool operator==(const SizeChoice&, const SizeChoice&) = default;
};

// The choice of the row whose id is `id` (as spelled) at `dpi`; L when no
// row has it.
SizeChoice ChooseSize(const char* id, std::int32_t dpi);

struct PixelSize {
  std::int32_t width;
  std::int32_t height;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A rectangle of a picture: its top-left pixel and its size.
struct PixelRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t width;
  std::int32_t height;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct ReductionBox {
  std::int32_t width;
  std::int32_t height;
  bool reducible;  // the photo is at least the box in both directions
  friend bool operator==(const ReductionBox&, const ReductionBox&) = default;
};

// (L, S) of a chosen size: a print size scaled as (L * dpi) / 400,
// truncating; a fixed size as it stands, whatever the resolution.
LongShort TargetSize(const SizeChoice& choice);

// The crop of a w x h photo (w, h >= 1) to the aspect L:S (landscape) or S:L
// (portrait and square), 32-bit products, truncating divisions. The side
// that is already short for the aspect stays whole; a photo that has the
// aspect exactly keeps its whole size.
PixelSize ComputeTrimSize(std::int32_t w, std::int32_t h, LongShort target);

// The box a w x h photo is reduced to: L x S when w > h, else S x L.
// Reducible when the photo is at least the box in both directions.
ReductionBox ComputeReductionBox(std::int32_t w, std::int32_t h, LongShort target);

// Where a whole w x h photo (w, h >= 1) lies on a canvas of its reduction
// box when fitted inside it with a white frame `margin` pixels wide on every
// side (0: no frame but what the aspect leaves). The frame gives way where
// it would leave less than 1 pixel inside: the inner box is at least 1 x 1.
// A photo that fits the inner box already keeps its size; a larger one is
// reduced, never enlarged, so that the side that is longer for the inner
// box takes its side and the other keeps the photo's aspect: other x inner
// side / photo side, 64-bit products, truncating, at least 1. The picture
// is centred on the canvas, the odd pixel of a margin going right or down
// (left = (box width - width) / 2, likewise top).
PixelRect ComputeFitRect(std::int32_t w, std::int32_t h, LongShort target, std::int32_t margin = 0);

// The frame's width in pixels of `amount` for a chosen size: millimetres at
// a print size at its dpi, at least that wide, (amount x dpi x 10 + 253) /
// 254; pixels as they stand at a fixed pixel size. Negative amounts count
// as 0.
std::int32_t FrameMargin(const SizeChoice& size, std::int32_t amount);

// The frame quorvale-batch and the window give フチあり unless told otherwise.
inline constexpr std::int32_t DefaultFrameAmount = 3;

}  // namespace quorvale
