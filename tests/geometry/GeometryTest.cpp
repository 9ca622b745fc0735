#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "geometry/SizeTable.h"

namespace quorvale {
namespace {

TEST(TargetSize, PrintSizesScaleTruncatingAndFixedSizesDoNot) {
  const struct {
    SizeChoice choice;
    LongShort expected;
  } cases[] = {
      {{}, {2000, 1401}},                     // L at 400 dpi
      {ChooseSize("L", 150), {750, 525}},     // 1401 * 150 / 400 = 525.375
      {ChooseSize("2L", 200), {1401, 1000}},  // 2803 / 2 = 1401.5
      {ChooseSize("hagaki", 320), {1915, 1284}},
      {ChooseSize("yatsugiri", 300), {2551, 1948}},
      {ChooseSize("mutsugiri", 150), {1500, 1198}},
      {ChooseSize("w-mutsugiri", 200), {2401, 1598}},
      {ChooseSize("A4", 320), {3741, 2645}},
      {ChooseSize("yotsugiri", 400), {4803, 4000}},
      {ChooseSize("w-yotsugiri", 300), {4346, 3000}},
      {ChooseSize("4base", 150), {1536, 1024}},
      {ChooseSize("16base", 320), {3072, 2048}},
      {ChooseSize("sxga-2048", 150), {2048, 1536}},
      {ChooseSize("vga", 200), {640, 480}},
      {ChooseSize("qvga", 400), {320, 240}},
      // Beyond the window's list: mm x 4000 / 254 at 400 dpi, scaled alike.
      {ChooseSize("dsc", 150), {702, 525}},
      {ChooseSize("dsc", 200), {937, 700}},
      {ChooseSize("dsc", 300), {1405, 1050}},
      {ChooseSize("dsc", 320), {1499, 1120}},
      {ChooseSize("dsc", 400), {1874, 1401}},
      {ChooseSize("postcard", 150), {873, 590}},
      {ChooseSize("postcard", 200), {1165, 787}},
      {ChooseSize("postcard", 300), {1747, 1180}},
      {ChooseSize("postcard", 320), {1864, 1259}},
      {ChooseSize("postcard", 400), {2330, 1574}},
      {ChooseSize("no-such-size", 300), {1500, 1050}},  // L
      {{SizeTable().size(), 400}, {2000, 1401}},        // beyond the table: L
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TargetSize(c.choice), c.expected)
        << c.choice.Preset().id << " at " << c.choice.dpi << " dpi";
  }
}

TEST(ComputeTrimSize, WorkedExamplesAndEdges) {
  const LongShort print{2000, 1401};
  const struct {
    std::int32_t w, h;
    LongShort target;
    PixelSize expected;
  } cases[] = {
      {3000, 2000, print, {2855, 2000}},
      {3000, 2000, {750, 525}, {2857, 2000}},
      {2000, 3000, print, {2000, 2855}},
      {1000, 1000, {640, 480}, {750, 1000}},  // square: portrait crop, full height
      {2000, 1401, print, {2000, 1401}},      // exact aspect: whole photo
      {1401, 2000, print, {1401, 2000}},
      {4000, 2802, print, {4000, 2802}},
      {640, 480, {800, 600}, {640, 480}},
      {4000, 3000, {2048, 1356}, {4000, 2648}},
      {7000, 4000, print, {5710, 4000}},
      {9000, 6000, print, {8565, 6000}},
      {3000, 1000, print, {1427, 1000}},  // much wider: height kept
      {1000, 3000, print, {1000, 1427}},  // much taller: width kept
      {2001, 1500, print, {2001, 1401}},
      {1, 1, print, {0, 1}},  // a zero side, refused later by the trim
      {2, 1, print, {1, 1}},
      {1, 5, print, {1, 1}},
      {5, 1, print, {1, 1}},
      {65535, 65534, {5795, 4000}, {65535, 45235}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComputeTrimSize(c.w, c.h, c.target), c.expected) << c.w << " x " << c.h;
  }
}

TEST(ComputeTrimSize, CropFitsThePhotoAndKeepsOneWholeSide) {
  for (const SizePreset& preset : SizeTable()) {
    const LongShort target{preset.L, preset.S};
    for (std::int32_t w : {1, 2, 3, 7, 240, 1401, 2000, 2001, 4567}) {
      for (std::int32_t h : {1, 2, 5, 239, 1401, 2000, 3333}) {
        const PixelSize crop = ComputeTrimSize(w, h, target);
        ASSERT_LE(crop.width, w) << preset.id << ' ' << w << 'x' << h;
        ASSERT_LE(crop.height, h) << preset.id << ' ' << w << 'x' << h;
        ASSERT_TRUE(crop.width == w || crop.height == h) << preset.id << ' ' << w << 'x' << h;
      }
    }
  }
}

TEST(ComputeReductionBox, TurnsTheBoxWithThePhoto) {
  const LongShort print{2000, 1401};
  const struct {
    std::int32_t w, h;
    LongShort target;
    ReductionBox expected;
  } cases[] = {
      {2855, 2000, print, {2000, 1401, true}},
      {2000, 2855, print, {1401, 2000, true}},
      {700, 1000, print, {1401, 2000, false}},
      {1999, 1400, print, {2000, 1401, false}},
      {2000, 1401, print, {2000, 1401, true}},  // exactly the box
      {2000, 1400, print, {2000, 1401, false}},
      {1999, 1401, print, {2000, 1401, false}},
      {750, 1000, {640, 480}, {480, 640, true}},
      {1000, 1000, {640, 480}, {480, 640, true}},      // square: portrait box
      {4000, 2990, {1874, 1401}, {1874, 1401, true}},  // DSC
      {2990, 4000, {1874, 1401}, {1401, 1874, true}},
      {640, 480, {800, 600}, {800, 600, false}},
      {2001, 1401, print, {2000, 1401, true}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComputeReductionBox(c.w, c.h, c.target), c.expected) << c.w << " x " << c.h;
  }
}

TEST(FrameMargin, MillimetresAtAPrintSizeRoundUpPixelsAtAPixelSizeStand) {
  const struct {
    const char* id;
    std::int32_t dpi, amount, pixels;
  } cases[] = {
      {"L", 400, 3, 48},  // 47.24
      {"L", 300, 3, 36},  // 35.43
      {"L", 320, 3, 38},  // 37.80
      {"L", 150, 3, 18},  // 17.72
      {"L", 254, 1, 10},  // exactly 10
      {"L", 400, 0, 0},  {"L", 400, -2, 0}, {"vga", 400, 3, 3}, {"vga", 150, 12, 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FrameMargin(ChooseSize(c.id, c.dpi), c.amount), c.pixels) << c.id << ' ' << c.dpi;
  }
}

TEST(ComputeFitRect, AFrameOnAllFourSidesOfEverySizeBothWays) {
  for (std::size_t row = 0; row < SizeTable().size(); ++row) {
    const SizeChoice size{row, 400};
    const SizePreset& preset = size.Preset();
    const LongShort target = TargetSize(size);
    for (const std::int32_t margin : {0, FrameMargin(size, DefaultFrameAmount)}) {
      for (const auto& [w, h] : {std::pair{6000, 4500}, {4500, 6000}, {7000, 2000}}) {
        SCOPED_TRACE(std::string(preset.id) + " margin " + std::to_string(margin) + ", " +
                     std::to_string(w) + " x " + std::to_string(h));
        const ReductionBox box = ComputeReductionBox(w, h, target);
        const std::int64_t inW = box.width - 2 * margin, inH = box.height - 2 * margin;
        const PixelRect r = ComputeFitRect(w, h, target, margin);
        EXPECT_GE(r.left, margin);
        EXPECT_GE(r.top, margin);
        EXPECT_GE(box.width - r.left - r.width, margin);
        EXPECT_GE(box.height - r.top - r.height, margin);
        EXPECT_EQ(r.left, (box.width - r.width) / 2);
        EXPECT_EQ(r.top, (box.height - r.height) / 2);
        // As large as the frame allows: one side meets it, the other keeps
        // the photo's aspect, truncated.
        if (r.width == inW) {
          EXPECT_EQ(r.height, h * inW / w);
        } else {
          EXPECT_EQ(r.height, inH);
          EXPECT_EQ(r.width, w * inH / h);
        }
      }
    }
  }
}

TEST(ComputeFitRect, WorkedExamples) {
  const LongShort l{2000, 1401};
  const struct {
    std::int32_t w, h, margin;
    LongShort target;
    PixelRect expected;
  } cases[] = {
      {4000, 3000, 48, l, {130, 48, 1740, 1305}},     // 3 mm at 400 dpi on L
      {4000, 3000, 0, l, {66, 0, 1868, 1401}},        // no frame: the fit of old
      {3000, 4000, 48, l, {48, 130, 1305, 1740}},     // portrait on the turned box
      {1000, 700, 48, l, {500, 350, 1000, 700}},      // inside the frame: never enlarged
      {1950, 1000, 48, l, {48, 212, 1904, 976}},      // only the frame makes it reduce
      {640, 480, 400, {640, 480}, {319, 239, 1, 1}},  // the frame gives way at 1 x 1
      {5000, 1, 3, {640, 480}, {3, 239, 634, 1}},     // one row stays one row
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComputeFitRect(c.w, c.h, c.target, c.margin), c.expected)
        << c.w << " x " << c.h << " margin " << c.margin;
  }
}

}  // namespace
}  // namespace quorvale
