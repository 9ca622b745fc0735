#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "geometry/SizeTable.h"
#include "messages/Messages.h"

namespace quorvale {
namespace {

// Spelled as bytes so that the captions in the table are checked against an
// encoding written independently of them.
#define FW "\xE3\x80\x80"  // U+3000 ideographic space
#define TIMES "\xC3\x97"   // U+00D7 multiplication sign

struct ExpectedRow {
  int button;
  int screenRow;
  const char* caption;
  int label;
  const char* aspectLabel;
  SizeKind kind;
  std::int32_t L;
  std::int32_t S;
  const char* id;
};

constexpr ExpectedRow ExpectedRows[] = {
    {1, 1, "L" FW "     89mm" TIMES "127mm", 1, "1.42", SizeKind::Print, 2000, 1401, "L"},
    {2, 2, "\xE3\x81\xAF\xE3\x81\x8C\xE3\x81\x8D 102mm" TIMES "152mm", 2, "1.49", SizeKind::Print,
     2394, 1606, "hagaki"},
    {3, 3, "2L" FW "   127mm" TIMES "178mm", 3, "1.39", SizeKind::Print, 2803, 2000, "2L"},
    {5, 4, "\xE5\x85\xAB\xE5\x88\x87" FW " 165mm" TIMES "216mm", 5, "1.309", SizeKind::Print, 3402,
     2598, "yatsugiri"},
    {6, 5, "\xE5\x85\xAD\xE5\x88\x87" FW " 203mm" TIMES "254mm", 6, "1.25", SizeKind::Print, 4000,
     3196, "mutsugiri"},
    {7, 6, "W\xE5\x85\xAD\xE5\x88\x87" FW "203mm" TIMES "305mm", 7, "1.50", SizeKind::Print, 4803,
     3196, "w-mutsugiri"},
    {8, 7, "A4" FW "   210mm" TIMES "297mm", 8, "1.414", SizeKind::Print, 4677, 3307, "A4"},
    {9, 8, "\xE5\x9B\x9B\xE5\x88\x87" FW " 254mm" TIMES "305mm", 9, "1.20", SizeKind::Print, 4803,
     4000, "yotsugiri"},
    {10, 9, "W\xE5\x9B\x9B\xE5\x88\x87" FW "254mm" TIMES "368mm", 10, "1.448", SizeKind::Print,
     5795, 4000, "w-yotsugiri"},
    {4, 10, "4Base" FW "1536px" TIMES "1024px", 4, "1.50", SizeKind::Fixed, 1536, 1024, "4base"},
    {15, 11, "16Base 3072px" TIMES "2048px", 11, "1.50", SizeKind::Fixed, 3072, 2048, "16base"},
    {17, 14, "SVGA    800px" TIMES " 600px", 12, "1.33", SizeKind::Fixed, 800, 600, "svga"},
    {18, 15, "XGA    1024px" TIMES " 768px", 13, "1.33", SizeKind::Fixed, 1024, 768, "xga"},
    {19, 16, "SXGA   1280px" TIMES "1024px", 14, "1.25", SizeKind::Fixed, 1280, 1024, "sxga"},
    {20, 12, "QVGA    320px" TIMES " 240px", 15, "1.33", SizeKind::Fixed, 320, 240, "qvga"},
    {21, 17, "SXGA   1600px" TIMES "1200px", 16, "1.33", SizeKind::Fixed, 1600, 1200, "sxga-1600"},
    {22, 18, "SXGA   2048px" TIMES "1536px", 17, "1.33", SizeKind::Fixed, 2048, 1536, "sxga-2048"},
    {23, 13, "VGA     640px" TIMES " 480px", 18, "1.33", SizeKind::Fixed, 640, 480, "vga"},
};

RadioSelection Select(std::initializer_list<int> buttons) {
  RadioSelection selection;
  for (int button : buttons) selection.set(button);
  return selection;
}

TEST(SizeTable, HoldsTheEighteenRowsInTestOrder) {
  const auto table = SizeTable();
  ASSERT_EQ(table.size(), std::size(ExpectedRows));
  for (std::size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE("test order " + std::to_string(i + 1));
    const SizePreset& row = table[i];
    const ExpectedRow& expected = ExpectedRows[i];
    EXPECT_EQ(row.button, expected.button);
    EXPECT_EQ(row.screenRow, expected.screenRow);
    EXPECT_EQ(std::string(SizeCaption(row)), expected.caption);
    EXPECT_EQ(row.label, expected.label);
    EXPECT_EQ(std::string(row.aspectLabel), expected.aspectLabel);
    EXPECT_EQ(row.kind, expected.kind);
    EXPECT_EQ(row.L, expected.L);
    EXPECT_EQ(row.S, expected.S);
    EXPECT_EQ(std::string(row.id), expected.id);
  }
}

TEST(SizeTable, FiveResolutionsInTestOrder) {
  const auto resolutions = PrintResolutions();
  ASSERT_EQ(resolutions.size(), 5u);
  const struct {
    int button;
    const char* caption;
    int dpi;
  } expected[] = {{11, "150 dpi", 150},
                  {12, "300 dpi", 300},
                  {13, "400 dpi", 400},
                  {14, "200 dpi", 200},
                  {16, "320 dpi", 320}};
  for (std::size_t i = 0; i < resolutions.size(); ++i) {
    EXPECT_EQ(resolutions[i].button, expected[i].button);
    EXPECT_EQ(std::string(resolutions[i].caption), expected[i].caption);
    EXPECT_EQ(resolutions[i].dpi, expected[i].dpi);
  }
}

TEST(ResolveTargetSize, WorkedExamples) {
  const struct {
    RadioSelection selected;
    LongShort expected;
  } cases[] = {
      {Select({1, 13}), {2000, 1401}},
      {Select({1, 11}), {750, 525}},    // 1401 * 150 / 400 = 525.375
      {Select({3, 14}), {1401, 1000}},  // 2803 / 2 = 1401.5
      {Select({8, 16}), {3741, 2645}},
      {Select({10, 12}), {4346, 3000}},
      {Select({22, 11}), {2048, 1536}},
      {Select({22, 16}), {2048, 1536}},
      {Select({23, 11}), {640, 480}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveTargetSize(c.selected), c.expected) << c.selected;
  }
}

TEST(ResolveTargetSize, EveryPresetAtEveryResolution) {
  // Expected values from the resolution as a reduced fraction of 400 dpi
  // (150 -> 3/8, 300 -> 3/4, 400 -> 1/1, 200 -> 1/2, 320 -> 4/5): the same
  // rational value as L * dpi / 400, truncated through other numbers.
  const struct {
    int button;
    int numerator;
    int denominator;
  } resolutions[] = {{11, 3, 8}, {12, 3, 4}, {13, 1, 1}, {14, 1, 2}, {16, 4, 5}};
  for (const ExpectedRow& row : ExpectedRows) {
    for (const auto& resolution : resolutions) {
      LongShort expected{row.L, row.S};
      if (row.kind == SizeKind::Print) {
        expected = {row.L * resolution.numerator / resolution.denominator,
                    row.S * resolution.numerator / resolution.denominator};
      }
      EXPECT_EQ(ResolveTargetSize(Select({row.button, resolution.button})), expected)
          << row.id << " with RadioButton" << resolution.button;
    }
  }
}

TEST(ResolveTargetSize, DefaultsAndLaterSelectionsWin) {
  const struct {
    RadioSelection selected;
    LongShort expected;
    const char* why;
  } cases[] = {
      {Select({}), {2000, 1401}, "nothing selected: L at 400 dpi"},
      {Select({2}), {2394, 1606}, "no resolution: 400 dpi"},
      {Select({11}), {750, 525}, "no size: L, scaled"},
      {Select({2, 11, 14}), {1197, 803}, "200 dpi examined after 150 dpi"},
      {Select({2, 16, 14}), {1915, 1284}, "320 dpi examined last"},
      {Select({3, 2, 13}), {2803, 2000}, "2L examined after hagaki"},
      {Select({10, 5, 13}), {5795, 4000}, "W-yotsugiri examined last of the prints"},
      {Select({2, 4, 11}), {1536, 1024}, "a fixed size replaces the scaled print pair"},
      {Select({20, 17}), {320, 240}, "QVGA (RadioButton20) examined after SVGA (17)"},
      {Select({23, 22, 21}), {640, 480}, "VGA examined last of all"},
      {Select({15, 4}), {3072, 2048}, "16Base examined after 4Base"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveTargetSize(c.selected), c.expected) << c.why;
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
      {1000, 1000, {640, 480}, {480, 640, true}},  // square: portrait box
      {640, 480, {800, 600}, {800, 600, false}},
      {2001, 1401, print, {2000, 1401, true}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComputeReductionBox(c.w, c.h, c.target), c.expected) << c.w << " x " << c.h;
  }
}

}  // namespace
}  // namespace quorvale
