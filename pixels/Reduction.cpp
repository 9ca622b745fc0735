#include "pixels/Reduction.h"

#include <utility>
#include <vector>

#include "pixels/HighQuality.h"

namespace quorvale {

ReduceResult ReducePhoto(Bitmap& photo, ReductionScratch& scratch, int width, int height,
                         bool highQuality, const CancelCheck& cancel, int maxSource) {
  if (photo.Width() < width || photo.Height() < height) return {ReduceResult::TooSmall};
  std::optional<HighQualityDecline> declined;
  if (highQuality) {
    const HighQualityResult result =
        ShrinkHighQuality(photo, scratch.Reduced, width, height, cancel, maxSource);
    if (result.kind == HighQualityResult::Reduced) {
      std::swap(photo, scratch.Reduced);
      return {ReduceResult::Reduced};
    }
    if (result.kind == HighQualityResult::Cancelled) return {ReduceResult::Cancelled};
    declined = result.decline;
  }
  ShrinkPlain(photo, scratch.Reduced, width, height);
  return {ReduceResult::Reduced, declined};
}

void ShrinkPlain(Bitmap& photo, Bitmap& work, int width, int height) {
  // Every pixel of the work bitmap is drawn, so it need not be cleared.
  work.Allocate(width, height);
  work.StretchFrom(photo, width, height);
  std::swap(photo, work);
}

namespace {

// The plain reduction of a photo that comes row by row: each target row is
// the source row it picks, taken as it passes.
class PlainRowSink : public RowSink {
 public:
  PlainRowSink(Bitmap& result, int width, int height)
      : result_(result), width_(width), height_(height) {}

  void Start(int sourceWidth, int sourceHeight, std::size_t rowBytes) override {
    result_.Allocate(width_, height_);
    columns_.emplace(sourceWidth, width_);
    sourceHeight_ = sourceHeight;
    picked_.assign(static_cast<std::size_t>(sourceHeight), false);
    for (int y = 0; y < height_; ++y) picked_[ColumnPicks::Pick(y, height_, sourceHeight)] = true;
    rows_.emplace(RowSinkBatch, rowBytes);
  }
  bool Wants(int y) const override { return picked_[static_cast<std::size_t>(y)]; }
  std::uint8_t* RowFor(int y) override { return rows_->Slot(y); }
  void RowDone(int y, const std::uint8_t* pixels) override {
    for (; next_ < height_ && ColumnPicks::Pick(next_, height_, sourceHeight_) == y; ++next_) {
      columns_->Copy(pixels, result_.Row(next_), nullptr);
    }
  }
  std::uint64_t Charge(int, int, std::size_t rowBytes) const override {
    return static_cast<std::uint64_t>(RowBytes(width_)) * static_cast<std::uint64_t>(height_) +
           RowRing::Bytes(RowSinkBatch, rowBytes);
  }

 private:
  Bitmap& result_;
  const int width_, height_;
  std::optional<ColumnPicks> columns_;
  int sourceHeight_ = 0;
  std::vector<bool> picked_;  // per source row: some target row takes it
  std::optional<RowRing> rows_;
  int next_ = 0;  // the first target row not yet taken
};

}  // namespace

ReducingSink::ReducingSink(Bitmap& photo, std::optional<PixelSize> box, bool highQuality,
                           int maxSource)
    : photo_(photo), box_(box), highQuality_(highQuality), maxSource_(maxSource) {}

ReducingSink::~ReducingSink() = default;

std::unique_ptr<RowSink> ReducingSink::Choose(int width, int height,
                                              std::optional<HighQualityDecline>& declined) const {
  declined.reset();
  if (!box_) return std::make_unique<BitmapSink>(photo_);
  if (highQuality_) {
    declined = HighQualityRefusal(width, height, box_->width, box_->height, maxSource_);
    if (!declined) return std::make_unique<HighQualityRowSink>(photo_, box_->width, box_->height);
  }
  return std::make_unique<PlainRowSink>(photo_, box_->width, box_->height);
}

std::uint64_t ReducingSink::Charge(int width, int height, std::size_t rowBytes) const {
  std::optional<HighQualityDecline> declined;
  return Choose(width, height, declined)->Charge(width, height, rowBytes);
}

void ReducingSink::Start(int width, int height, std::size_t rowBytes) {
  sink_ = Choose(width, height, declined_);
  sink_->Start(width, height, rowBytes);
}

}  // namespace quorvale
