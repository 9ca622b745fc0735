#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "geometry/SizeTable.h"
#include "pixels/Bitmap.h"
#include "pixels/Cancel.h"
#include "pixels/HighQuality.h"
#include "pixels/RowSink.h"

namespace quorvale {

// The scratch memory of the reductions, kept from photo to photo. A reduced
// photo is made in `Reduced` and then traded with the photo, so after a
// reduction `Reduced` holds the photo's former memory: kept, it serves the
// next reduction; taken, it may serve the next decode.
struct ReductionScratch {
  Bitmap Reduced;
};

struct ReduceResult {
  enum Kind {
    Reduced,    // the photo is the box now
    TooSmall,   // smaller than the box in either direction: left as it is
    Cancelled,  // the high-quality reduction saw a cancel; the photo is not to be
                // saved
  };
  Kind kind = Reduced;
  // Why the high-quality reduction declined, when the plain one ran instead.
  std::optional<HighQualityDecline> declined{};
};

// Reduces `photo` to the box width x height. With `highQuality` the
// high-quality reduction is tried first; when it declines, the plain
// reduction runs instead and the reason is returned. `cancel` is asked
// between output rows of the high-quality reduction, which takes photos
// up to `maxSource` on either side. Once reduced, the photo is a new
// bitmap and the memory it was decoded into is in `scratch.Reduced`.
ReduceResult ReducePhoto(Bitmap& photo, ReductionScratch& scratch, int width, int height,
                         bool highQuality, const CancelCheck& cancel, int maxSource = MaxPhotoSide);

// Plain nearest-neighbour reduction of `photo`, which must be at least
// width x height, made in `work` and traded with the photo. Never fails.
void ShrinkPlain(Bitmap& photo, Bitmap& work, int width, int height);

// Takes a photo from the decoder row by row and reduces it on the way, as
// ReducePhoto reduces the whole photo, to the same bytes, without the whole
// photo ever being held: the rows are used while they are in the cache.
// The photo is reduced to `box`, decided before the decode from the size
// the photo will have; with none it is held whole in `photo`, as a
// BitmapSink holds it. The high-quality reduction is taken when
// `highQuality` and it accepts the sizes (a source of at most `maxSource`),
// the plain one otherwise.
class ReducingSink : public RowSink {
 public:
  ReducingSink(Bitmap& photo, std::optional<PixelSize> box, bool highQuality,
               int maxSource = MaxPhotoSide);
  ~ReducingSink() override;

  void Start(int width, int height, std::size_t rowBytes) override;
  std::uint8_t* RowFor(int y) override { return sink_->RowFor(y); }
  void RowDone(int y, const std::uint8_t* pixels) override { sink_->RowDone(y, pixels); }
  bool Wants(int y) const override { return sink_->Wants(y); }
  void Finish() override { sink_->Finish(); }
  std::uint64_t Charge(int width, int height, std::size_t rowBytes) const override;

  // After Start: why the high-quality reduction declined when it was asked
  // for and did.
  const std::optional<HighQualityDecline>& Declined() const { return declined_; }

 private:
  // The sink for a photo of width x height, and why the high-quality
  // reduction declined it when it did.
  std::unique_ptr<RowSink> Choose(int width, int height,
                                  std::optional<HighQualityDecline>& declined) const;

  Bitmap& photo_;
  const std::optional<PixelSize> box_;
  const bool highQuality_;
  const int maxSource_;
  std::unique_ptr<RowSink> sink_;
  std::optional<HighQualityDecline> declined_;
};

}  // namespace quorvale
