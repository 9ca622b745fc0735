#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "imaging/Reduction.h"
#include "imaging/SizeTable.h"
#include "imaging/TrimCenter.h"
#include "support/CodedBitmap.h"
#include "support/FakeWindow.h"

namespace quorvale {
namespace {

using testing::Code;
using testing::FakeWindow;
using testing::Origin;
using testing::SourceOf;

const std::string TooSmall =
    "\xE5\x85\x83\xE7\x94\xBB\xE5\x83\x8F\xE3\x81\x8C\xE6\x8C\x87\xE5\xAE\x9A\xE3\x82\xB5\xE3\x82"
    "\xA4\xE3\x82\xBA\xE3\x82\x88\xE3\x82\x8A\xE5\xB0\x8F\xE3\x81\x95\xE3\x81\x84\xE3\x81\xAE\xE3"
    "\x81\xA7\xE7\xB8\xAE\xE5\xB0\x8F\xE3\x81\xAF\xE8\xA1\x8C\xE3\x82\x8F\xE3\x82\x8C\xE3\x81\xBE"
    "\xE3\x81\x9B\xE3\x82\x93";
const std::string Stopped = "\xE4\xB8\xAD\xE6\x96\xAD";

// The planes are large; one state serves every test of this file.
RunState& State() {
  static RunState* state = new RunState;
  state->MessageText.clear();
  state->CancelRequested = false;
  return *state;
}

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
  RunState& state = State();
  state.SourceBitmap = Bitmap(4000, 2802);
  Code(state.SourceBitmap);
  ShrinkPlain(state, 2000, 1401);
  ASSERT_EQ(state.SourceBitmap.Width(), 2000);
  ASSERT_EQ(state.SourceBitmap.Height(), 1401);
  for (int y = 0; y < 1401; ++y) {
    for (int x = 0; x < 2000; ++x) {
      const Origin origin = SourceOf(state.SourceBitmap, x, y, 4000);
      ASSERT_EQ(origin.x / 2, x) << x << ", " << y;
      ASSERT_EQ(origin.y / 2, y) << x << ", " << y;
    }
  }
}

TEST(ShrinkPlain, DropsColumnsAndRowsEvenly) {
  RunState& state = State();
  state.SourceBitmap = Bitmap(103, 61);
  Code(state.SourceBitmap);
  ShrinkPlain(state, 40, 30);
  ASSERT_EQ(state.SourceBitmap.Width(), 40);
  ASSERT_EQ(state.SourceBitmap.Height(), 30);
  int previousX = -1, previousY = -1;
  for (int x = 0; x < 40; ++x) {
    const Origin origin = SourceOf(state.SourceBitmap, x, 0, 103);
    // Each target column stands for about 2.6 source columns.
    EXPECT_GT(origin.x, previousX);
    EXPECT_LE(origin.x - previousX, 3);
    EXPECT_EQ(origin.x, (2 * x + 1) * 103 / 80);
    for (int y = 1; y < 30; ++y) EXPECT_EQ(SourceOf(state.SourceBitmap, x, y, 103).x, origin.x);
    previousX = origin.x;
  }
  for (int y = 0; y < 30; ++y) {
    const Origin origin = SourceOf(state.SourceBitmap, 0, y, 103);
    EXPECT_GT(origin.y, previousY);
    previousY = origin.y;
  }
}

TEST(ReducePhoto, SmallerPhotoIsLoggedAndKept) {
  // A tenth of L at 400 dpi (2000 x 1401) keeps the test light; the rule
  // compares sides only.
  for (bool highQuality : {false, true}) {
    const std::pair<int, int> sizes[] = {{199, 140}, {199, 141}, {200, 140}, {70, 100}};
    for (const auto& [w, h] : sizes) {
      SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
      RunState& state = State();
      FakeWindow window;
      window.Check(CheckBox::CheckBox3, highQuality);
      state.SourceBitmap = Bitmap(w, h);
      Code(state.SourceBitmap);
      const Bitmap original = state.SourceBitmap;
      const ReductionBox box = ComputeReductionBox(w, h, {200, 141});
      ASSERT_FALSE(box.reducible);
      EXPECT_EQ(ReducePhoto(state, window, box.width, box.height), ReduceResult::GoOn);
      EXPECT_EQ(window.log, std::vector<std::string>{TooSmall});
      EXPECT_TRUE(window.statusTexts.empty());
      EXPECT_EQ(window.pumps, 0);
      EXPECT_TRUE(SamePixels(state.SourceBitmap, original));
    }
  }
}

TEST(ReducePhoto, PhotoOfTheBoxSizeIsKeptEitherWay) {
  for (bool highQuality : {false, true}) {
    RunState& state = State();
    FakeWindow window;
    window.Check(CheckBox::CheckBox3, highQuality);
    state.SourceBitmap = Bitmap(200, 140);
    Code(state.SourceBitmap);
    const Bitmap original = state.SourceBitmap;
    EXPECT_EQ(ReducePhoto(state, window, 200, 140), ReduceResult::GoOn) << highQuality;
    EXPECT_TRUE(SamePixels(state.SourceBitmap, original)) << highQuality;
    EXPECT_TRUE(window.events.empty()) << highQuality;
  }
}

TEST(ReducePhoto, RefusedHighQualityFallsBackSilently) {
  // 2001 x 1500 trims to 2001 x 1401; the high-quality reduction refuses a
  // photo whose height already is the box's, and the plain one drops one
  // column.
  RunState& state = State();
  FakeWindow window;
  window.Check(CheckBox::CheckBox3, true);
  state.SourceBitmap = Bitmap(2001, 1500);
  Code(state.SourceBitmap);
  const PixelSize crop = ComputeTrimSize(2001, 1500, {2000, 1401});
  ASSERT_EQ(crop, (PixelSize{2001, 1401}));
  ASSERT_EQ(TrimCenter(state.SourceBitmap, crop.width, crop.height), 0);
  const ReductionBox box = ComputeReductionBox(2001, 1401, {2000, 1401});
  ASSERT_EQ(box, (ReductionBox{2000, 1401, true}));

  EXPECT_EQ(ReducePhoto(state, window, box.width, box.height), ReduceResult::GoOn);
  EXPECT_TRUE(window.events.empty());
  ASSERT_EQ(state.SourceBitmap.Width(), 2000);
  ASSERT_EQ(state.SourceBitmap.Height(), 1401);
  std::set<int> columns;
  for (int x = 0; x < 2000; ++x) {
    for (int y : {0, 700, 1400}) {
      const Origin origin = SourceOf(state.SourceBitmap, x, y, 2001);
      EXPECT_EQ(origin.y, y + 49);  // the trim's top margin; no row dropped
      columns.insert(origin.x);
    }
  }
  EXPECT_EQ(columns.size(), 2000u);
}

TEST(ReducePhoto, HighQualityWhenTicked) {
  RunState& state = State();
  FakeWindow window;
  window.Check(CheckBox::CheckBox3, true);
  state.SourceBitmap = Bitmap(200, 100);  // white
  EXPECT_EQ(ReducePhoto(state, window, 100, 50), ReduceResult::GoOn);
  EXPECT_TRUE(window.log.empty());
  ASSERT_EQ(state.SourceBitmap.Width(), 100);
  ASSERT_EQ(state.SourceBitmap.Height(), 50);
  // The area average shows: plain white stays 255, averaged white is 252.
  EXPECT_EQ(state.SourceBitmap.Row(10)[30], 252);
  EXPECT_GE(window.pumps, 2);

  window.Check(CheckBox::CheckBox3, false);
  state.SourceBitmap = Bitmap(200, 100);
  EXPECT_EQ(ReducePhoto(state, window, 100, 50), ReduceResult::GoOn);
  EXPECT_EQ(state.SourceBitmap.Row(10)[30], 255);
}

TEST(ReducePhoto, CancelInsideHighQualityStops) {
  RunState& state = State();
  FakeWindow window;
  window.Check(CheckBox::CheckBox3, true);
  window.onProcessMessages = [&] { state.CancelRequested = true; };
  state.SourceBitmap = Bitmap(200, 100);
  EXPECT_EQ(ReducePhoto(state, window, 100, 50), ReduceResult::Stop);
  EXPECT_EQ(window.events, (std::vector<std::string>{"log: " + Stopped, "log: ", "status: "}));
  EXPECT_EQ(state.SourceBitmap.Width(), 200);
}

}  // namespace
}  // namespace quorvale
