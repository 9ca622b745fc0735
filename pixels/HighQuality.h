#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "pixels/Bitmap.h"
#include "pixels/Cancel.h"
#include "pixels/RowSink.h"
#include "geometry/SizeTable.h"

namespace quorvale {

// Why the high-quality reduction declined a photo, with the sizes its
// reason names.
struct HighQualityDecline {
  enum Kind {
    Ratio,           // the aspects differ by 4/100 or more (the target's size)
    SameSize,        // the target is the source's size (the target's size)
    SourceTooLarge,  // the source is above the limit (the source's size, the limit)
    TargetTooLarge,  // the target is above MaxPhotoSide (the target's size, the limit)
    TooFar,          // more than 1/100 in either direction
    NotReduction,    // not smaller in both directions
  };
  Kind kind = Ratio;
  int width = 0;
  int height = 0;
  int limit = 0;  // the largest side allowed, with the TooLarge kinds
  friend bool operator==(const HighQualityDecline&, const HighQualityDecline&) = default;
};

struct HighQualityResult {
  enum Kind {
    Reduced,    // the result is width x height, reduced and sharpened
    Declined,   // a precondition failed; the result is untouched, `decline` says why
    Cancelled,  // the cancel check answered true between output pixels; the
                // result is unfinished
  };
  Kind kind = Reduced;
  HighQualityDecline decline{};
  // The source is never changed.
};

// Reduces `source` to width x height in `result`, by area averaging in
// hundredths of a source pixel, then sharpens the brightness with a
// 1-2-1 / 2-0-2 / 1-2-1 kernel. Integer arithmetic, truncating divisions,
// 64-bit products. The rows are sharpened as soon as the row below them is
// resampled, and only three resampled rows are kept. `cancel` is asked
// before each output row, so a cancel leaves whole rows above the current
// one. std::bad_alloc when the result's memory cannot be had. The source is
// read straight from its rows: by default it is held to MaxPhotoSide like
// the result; `maxSource` lifts that.
HighQualityResult ShrinkHighQuality(const Bitmap& source, Bitmap& result, int width, int height,
                                    const CancelCheck& cancel, int maxSource = MaxPhotoSide);

// Why ShrinkHighQuality would decline to reduce a picture of sourceWidth x
// sourceHeight to width x height, or nothing when it would go ahead: its
// checks, in its order, judged from the sizes alone.
std::optional<HighQualityDecline> HighQualityRefusal(int sourceWidth, int sourceHeight, int width,
                                                     int height, int maxSource = MaxPhotoSide);

// ShrinkHighQuality as the picture is decoded: after Finish, `result` holds
// the very bytes ShrinkHighQuality gives for the same picture. Each output
// row is made as soon as its last source row is done, and only the source
// rows still needed are kept, in a ring of rows that RowFor hands out. The
// picture's size must be one that HighQualityRefusal accepts (with any
// source limit): Start throws std::invalid_argument for any other, and
// std::bad_alloc when its memory cannot be had; Finish throws
// std::logic_error when rows are missing, rather than leave a result with
// rows never made. No cancel check: the decoder feeding it has its own.
class HighQualityRowSink final : public RowSink {
 public:
  HighQualityRowSink(Bitmap& result, int width, int height);
  ~HighQualityRowSink() override;

  void Start(int width, int height, std::size_t rowBytes) override;
  std::uint8_t* RowFor(int y) override;
  void RowDone(int y, const std::uint8_t* pixels) override;
  void Finish() override;
  std::uint64_t Charge(int width, int height, std::size_t rowBytes) const override;

 private:
  class Rows;
  Bitmap& result_;
  int width_, height_;
  std::unique_ptr<Rows> rows_;
};

}  // namespace quorvale
