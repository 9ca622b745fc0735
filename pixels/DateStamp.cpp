#include "pixels/DateStamp.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace quorvale {
namespace {

constexpr int FontRows = 7;

struct Glyph {
  std::string_view character;  // UTF-8
  int columns;
  std::array<std::string_view, FontRows> rows;
};

// Seven-segment digits with their segments apart at the corners, as the
// old cameras' date backs printed them, and the few marks the formats need.
constexpr Glyph Font[] = {
    {"0", 5, {".###.", "#...#", "#...#", ".....", "#...#", "#...#", ".###."}},
    {"1", 5, {".....", "....#", "....#", ".....", "....#", "....#", "....."}},
    {"2", 5, {".###.", "....#", "....#", ".###.", "#....", "#....", ".###."}},
    {"3", 5, {".###.", "....#", "....#", ".###.", "....#", "....#", ".###."}},
    {"4", 5, {".....", "#...#", "#...#", ".###.", "....#", "....#", "....."}},
    {"5", 5, {".###.", "#....", "#....", ".###.", "....#", "....#", ".###."}},
    {"6", 5, {".###.", "#....", "#....", ".###.", "#...#", "#...#", ".###."}},
    {"7", 5, {".###.", "....#", "....#", ".....", "....#", "....#", "....."}},
    {"8", 5, {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {"9", 5, {".###.", "#...#", "#...#", ".###.", "....#", "....#", ".###."}},
    {"'", 1, {"#", "#", ".", ".", ".", ".", "."}},
    {".", 1, {".", ".", ".", ".", ".", ".", "#"}},
    {" ", 2, {"..", "..", "..", "..", "..", "..", ".."}},
    {"年", 7, {".#.....", ".######", "#...#..", ".######", "....#..", "#######", "....#.."}},
    {"月", 6, {".#####", ".#...#", ".#####", ".#...#", ".#####", ".#...#", "#...##"}},
    {"日", 4, {"####", "#..#", "#..#", "####", "#..#", "#..#", "####"}},
};

// The glyph `text` starts with, and how many bytes it takes; none for a
// character the font lacks (one byte passed over).
const Glyph* NextGlyph(std::string_view text, std::size_t& bytes) {
  for (const Glyph& glyph : Font) {
    if (text.starts_with(glyph.character)) {
      bytes = glyph.character.size();
      return &glyph;
    }
  }
  bytes = 1;
  return nullptr;
}

std::int32_t GlyphWidth(const Glyph& glyph, std::int32_t height) {
  return (glyph.columns * height + FontRows - 1) / FontRows;
}

std::int32_t Gap(std::int32_t height) {
  return std::max(1, height / FontRows);
}

// Calls `each(glyph, left)` for the glyphs of `text` drawn from x = 0;
// returns the width.
template <typename Each>
std::int32_t Lay(const std::string& text, std::int32_t height, Each each) {
  std::int32_t x = 0;
  bool first = true;
  for (std::string_view rest = text; !rest.empty();) {
    std::size_t bytes = 0;
    const Glyph* glyph = NextGlyph(rest, bytes);
    rest.remove_prefix(bytes);
    if (glyph == nullptr) continue;
    if (!first) x += Gap(height);
    first = false;
    each(*glyph, x);
    x += GlyphWidth(*glyph, height);
  }
  return x;
}

}  // namespace

std::string DateStampText(const CalendarDate& date, DateFormat format) {
  char text[64];
  switch (format) {
    case DateFormat::Kiosk:
      std::snprintf(text, sizeof text, "'%02d %d %d", date.year % 100, date.month, date.day);
      break;
    case DateFormat::Dotted:
      std::snprintf(text, sizeof text, "%04d.%02d.%02d", date.year, date.month, date.day);
      break;
    case DateFormat::Japanese:
      std::snprintf(text, sizeof text, "%d年%d月%d日", date.year, date.month, date.day);
      break;
  }
  return text;
}

std::int32_t DateStampWidth(const std::string& text, std::int32_t height) {
  return Lay(text, std::max(height, FontRows), [](const Glyph&, std::int32_t) {});
}

std::int32_t DateStampHeightAt(const SizeChoice& size) {
  if (size.Preset().kind == SizeKind::Fixed) return TargetSize(size).S / 36;
  return static_cast<std::int32_t>(std::int64_t{25} * size.dpi / 254);
}

std::int32_t DateStampHeight(std::int32_t atTarget, std::int32_t targetShort,
                             std::int32_t shortSide) {
  const std::int64_t height = std::int64_t{atTarget} * shortSide / std::max(1, targetShort);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(height, FontRows, 1 << 16));
}

PixelRect DateStampPlace(PixelSize canvas, const PixelRect& picture, std::int32_t width,
                         std::int32_t height) {
  const std::int32_t right = picture.left + picture.width;
  const std::int32_t below = canvas.height - (picture.top + picture.height);
  PixelRect place{right - height - width, picture.top + picture.height - 2 * height, width, height};
  if (below >= 2 * height) {
    place.left = right - width;
    place.top = picture.top + picture.height + (below - height) / 2;
  }
  place.left = std::clamp(place.left, 0, std::max(0, canvas.width - width));
  place.top = std::clamp(place.top, 0, std::max(0, canvas.height - height));
  return place;
}

void DrawDateStamp(Bitmap& bitmap, const std::string& text, const PixelRect& place) {
  const std::int32_t height = std::max(place.height, FontRows);
  Lay(text, height, [&](const Glyph& glyph, std::int32_t left) {
    const std::int32_t width = GlyphWidth(glyph, height);
    for (std::int32_t y = 0; y < height; ++y) {
      const std::int32_t by = place.top + y;
      if (by < 0 || by >= bitmap.Height()) continue;
      const std::string_view row = glyph.rows[static_cast<std::size_t>(y * FontRows / height)];
      std::uint8_t* pixels = bitmap.Row(by);
      for (std::int32_t x = 0; x < width; ++x) {
        const std::int32_t bx = place.left + left + x;
        const auto column =
            static_cast<std::size_t>(std::min(glyph.columns - 1, x * FontRows / height));
        if (bx < 0 || bx >= bitmap.Width() || row[column] != '#') continue;
        std::uint8_t* pixel = pixels + std::ptrdiff_t{bx} * 3;
        pixel[0] = 0x1A;  // blue, green, red
        pixel[1] = 0x8C;
        pixel[2] = 0xFF;
      }
    }
  });
}

}  // namespace quorvale
