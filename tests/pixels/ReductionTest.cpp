#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "codec/JpegFile.h"
#include "codec/JpegReader.h"
#include "codec/PhotoReader.h"
#include "geometry/SizeTable.h"
#include "pixels/Reduction.h"
#include "pixels/TrimCenter.h"
#include "support/Child.h"
#include "support/CodedBitmap.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::CodedPhoto;
using testing::Origin;
using testing::SourceOf;

// Why the high-quality reduction declines a photo of the box's size, and
// one whose height already is the box's.

// One scratch serves every test of this file.
ReductionScratch& Scratch() {
  static ReductionScratch* scratch = new ReductionScratch;
  return *scratch;
}

// A cancel poll that counts its questions and answers `answer`.
struct CountingPoll {
  int questions = 0;
  bool answer = false;
  CancelCheck Poll() {
    return [this] {
      ++questions;
      return answer;
    };
  }
};

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y) {
    for (int i = 0; i < 3 * a.Width(); ++i) {
      if (a.Row(y)[i] != b.Row(y)[i]) return false;
    }
  }
  return true;
}

TEST(ShrinkPlain, HalvingTakesOnePixelOfEachBlockUnblended) {
  Bitmap photo = CodedPhoto(4000, 2802);
  ShrinkPlain(photo, Scratch().Reduced, 2000, 1401);
  ASSERT_EQ(photo.Width(), 2000);
  ASSERT_EQ(photo.Height(), 1401);
  for (int y = 0; y < 1401; ++y) {
    for (int x = 0; x < 2000; ++x) {
      const Origin origin = SourceOf(photo, x, y, 4000);
      ASSERT_EQ(origin.x / 2, x) << x << ", " << y;
      ASSERT_EQ(origin.y / 2, y) << x << ", " << y;
    }
  }
}

TEST(ShrinkPlain, DropsColumnsAndRowsEvenly) {
  Bitmap photo = CodedPhoto(103, 61);
  ShrinkPlain(photo, Scratch().Reduced, 40, 30);
  ASSERT_EQ(photo.Width(), 40);
  ASSERT_EQ(photo.Height(), 30);
  int previousX = -1, previousY = -1;
  for (int x = 0; x < 40; ++x) {
    const Origin origin = SourceOf(photo, x, 0, 103);
    // Each target column stands for about 2.6 source columns.
    EXPECT_GT(origin.x, previousX);
    EXPECT_LE(origin.x - previousX, 3);
    EXPECT_EQ(origin.x, (2 * x + 1) * 103 / 80);
    for (int y = 1; y < 30; ++y) EXPECT_EQ(SourceOf(photo, x, y, 103).x, origin.x);
    previousX = origin.x;
  }
  for (int y = 0; y < 30; ++y) {
    const Origin origin = SourceOf(photo, 0, y, 103);
    EXPECT_GT(origin.y, previousY);
    previousY = origin.y;
  }
}

// The work bitmap is scratch: what it held before, larger or smaller than
// the box, leaves no trace in the result.
TEST(ShrinkPlain, WorkBitmapOfAnySizeServes) {
  Bitmap expected = CodedPhoto(103, 61);
  Bitmap fresh;
  ShrinkPlain(expected, fresh, 40, 30);
  for (auto [width, height] : {std::pair{1, 1}, {40, 30}, {500, 400}}) {
    Bitmap work(width, height);
    Bitmap photo = CodedPhoto(103, 61);
    ShrinkPlain(photo, work, 40, 30);
    EXPECT_TRUE(SamePixels(photo, expected)) << width << " x " << height;
  }
}

// Either reduction leaves the memory the photo was decoded into, whole, in
// the scratch, for the next decode.
TEST(ReducePhoto, HandsOnThePhotosMemoryOnceNoLongerRead) {
  for (const bool highQuality : {false, true}) {
    SCOPED_TRACE(highQuality ? "high quality" : "plain");
    Bitmap photo = CodedPhoto(400, 280);
    const std::uint8_t* decodedInto = photo.Row(0);
    ReductionScratch& scratch = Scratch();

    const ReduceResult result = ReducePhoto(photo, scratch, 200, 140, highQuality, {});

    EXPECT_EQ(result.kind, ReduceResult::Reduced);
    EXPECT_FALSE(result.declined);
    EXPECT_EQ(photo.Width(), 200);
    EXPECT_EQ(scratch.Reduced.Row(0), decodedInto);
    EXPECT_EQ(scratch.Reduced.Width(), 400);
  }
}

TEST(ReducePhoto, SmallerPhotoIsKeptAsItIs) {
  // A tenth of L at 400 dpi (2000 x 1401) keeps the test light; the rule
  // compares sides only.
  for (bool highQuality : {false, true}) {
    const std::pair<int, int> sizes[] = {{199, 140}, {199, 141}, {200, 140}, {70, 100}};
    for (const auto& [w, h] : sizes) {
      SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) +
                   (highQuality ? ", high quality" : ""));
      Bitmap photo = CodedPhoto(w, h);
      const Bitmap original = photo;
      const ReductionBox box = ComputeReductionBox(w, h, {200, 141});
      ASSERT_FALSE(box.reducible);
      CountingPoll poll;
      const ReduceResult result =
          ReducePhoto(photo, Scratch(), box.width, box.height, highQuality, poll.Poll());
      EXPECT_EQ(result.kind, ReduceResult::TooSmall);
      EXPECT_FALSE(result.declined);
      EXPECT_EQ(poll.questions, 0);
      EXPECT_TRUE(SamePixels(photo, original));
    }
  }
}

TEST(ReducePhoto, PhotoOfTheBoxSizeIsKeptEitherWay) {
  const struct {
    bool highQuality;
    std::optional<HighQualityDecline> declined;
  } rows[] = {{false, std::nullopt},
              {true, HighQualityDecline{HighQualityDecline::SameSize, 200, 140}}};
  for (const auto& row : rows) {
    Bitmap photo = CodedPhoto(200, 140);
    const Bitmap original = photo;
    const ReduceResult result = ReducePhoto(photo, Scratch(), 200, 140, row.highQuality, {});
    EXPECT_EQ(result.kind, ReduceResult::Reduced) << row.highQuality;
    EXPECT_EQ(result.declined, row.declined) << row.highQuality;
    EXPECT_TRUE(SamePixels(photo, original)) << row.highQuality;
  }
}

TEST(ReducePhoto, DeclinedHighQualityFallsBackToPlainAndSaysWhy) {
  // 2001 x 1500 trims to 2001 x 1401; the high-quality reduction declines a
  // photo whose height already is the box's, and the plain one drops one
  // column.
  Bitmap photo = CodedPhoto(2001, 1500);
  const PixelSize crop = ComputeTrimSize(2001, 1500, {2000, 1401});
  ASSERT_EQ(crop, (PixelSize{2001, 1401}));
  ASSERT_EQ(TrimAt(photo, crop.width, crop.height, 0.5), TrimStatus::Trimmed);
  const ReductionBox box = ComputeReductionBox(2001, 1401, {2000, 1401});
  ASSERT_EQ(box, (ReductionBox{2000, 1401, true}));

  CountingPoll poll;
  const ReduceResult result =
      ReducePhoto(photo, Scratch(), box.width, box.height, true, poll.Poll());
  EXPECT_EQ(result.kind, ReduceResult::Reduced);
  ASSERT_TRUE(result.declined);
  EXPECT_EQ(result.declined->kind, HighQualityDecline::NotReduction);
  EXPECT_EQ(poll.questions, 0);
  ASSERT_EQ(photo.Width(), 2000);
  ASSERT_EQ(photo.Height(), 1401);
  std::set<int> columns;
  for (int x = 0; x < 2000; ++x) {
    for (int y : {0, 700, 1400}) {
      const Origin origin = SourceOf(photo, x, y, 2001);
      EXPECT_EQ(origin.y, y + 49);  // the trim's top margin; no row dropped
      columns.insert(origin.x);
    }
  }
  EXPECT_EQ(columns.size(), 2000u);
}

TEST(ReducePhoto, HighQualityOnlyWhenAsked) {
  // The area average shows: plain white stays 255, averaged white is 252.
  const struct {
    bool highQuality;
    int value;
    bool asked;  // the cancel poll
  } rows[] = {{true, 252, true}, {false, 255, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.highQuality ? "high quality" : "plain");
    Bitmap photo(200, 100);  // white
    CountingPoll poll;
    const ReduceResult result =
        ReducePhoto(photo, Scratch(), 100, 50, row.highQuality, poll.Poll());
    EXPECT_EQ(result.kind, ReduceResult::Reduced);
    EXPECT_FALSE(result.declined);
    ASSERT_EQ(photo.Width(), 100);
    ASSERT_EQ(photo.Height(), 50);
    EXPECT_EQ(photo.Row(10)[30], row.value);
    EXPECT_EQ(poll.questions > 0, row.asked) << poll.questions;
  }
}

TEST(ReducePhoto, CancelInsideHighQualityStops) {
  CountingPoll poll;
  poll.answer = true;
  Bitmap photo(200, 100);
  const ReduceResult result = ReducePhoto(photo, Scratch(), 100, 50, true, poll.Poll());
  EXPECT_EQ(result.kind, ReduceResult::Cancelled);
  EXPECT_FALSE(result.declined);
  EXPECT_EQ(poll.questions, 1);
  // Not reduced plainly instead: the size is the photo's own.
  EXPECT_EQ(photo.Width(), 200);
  EXPECT_EQ(photo.Height(), 100);
}

// Under a modest `ulimit -v` a small photo is decoded and reduced with a
// fresh scratch: nothing is reserved for photos larger than the one in hand.
// The limit is set in a child, so this process keeps its own.
TEST(ReducePhoto, SmallPhotoGoesThroughUnderAnAddressSpaceLimit) {
  QUORVALE_SKIP_UNDER_SANITIZERS();
  const std::string jpeg = testing::MakeJpeg(640, 480, testing::PhotoPixel);
  testing::RunInChild([] { return testing::LimitAddressSpace(rlim_t{64} << 20); },
                      [&] {
                        ReductionScratch scratch;
                        Bitmap photo;
                        const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpeg.data());
                        ASSERT_TRUE(DecodeJpegMemory({bytes, jpeg.size()}, photo).Ok());
                        const ReduceResult reduced =
                            ReducePhoto(photo, scratch, 400, 300, true, {});
                        EXPECT_EQ(reduced.kind, ReduceResult::Reduced);
                        EXPECT_FALSE(reduced.declined);
                        EXPECT_EQ(photo.Width(), 400);
                      });
}

}  // namespace
}  // namespace quorvale
