#pragma once

#include <cstdint>
#include <string>

#include "geometry/SizeTable.h"
#include "pixels/Bitmap.h"

namespace quorvale {

// A day of the calendar as a photo's date gives it.
struct CalendarDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// How the date is written on the print.
enum class DateFormat {
  Kiosk,     // 'YY M D, as print kiosks put it ("'24 8 5")
  Dotted,    // YYYY.MM.DD
  Japanese,  // YYYY年M月D日
};

// The date as the stamp draws it, in UTF-8.
std::string DateStampText(const CalendarDate& date, DateFormat format);

// The stamp's glyphs are 7 rows of a small font of its own, each drawn at
// `height` pixels by nearest sampling (font row = y * 7 / height); a glyph
// of n font columns is (n * height + 6) / 7 pixels wide, and glyphs are one
// font pixel apart (height / 7, at least 1). Heights below 7 count as 7.
// The width of `text` so drawn; characters the font lacks take no room.
std::int32_t DateStampWidth(const std::string& text, std::int32_t height);

// The stamp's height on a print of `size`: 2.5 mm at the print's dpi,
// 25 * dpi / 254, at a print size; a 36th of S at a pixel size.
std::int32_t DateStampHeightAt(const SizeChoice& size);

// The stamp's height on an output whose short side is `shortSide`, when it
// is `atTarget` on one whose short side is the target's `targetShort` (a
// photo left larger than its box is printed smaller, so its stamp grows in
// proportion): atTarget * shortSide / targetShort, truncating, at least 7.
std::int32_t DateStampHeight(std::int32_t atTarget, std::int32_t targetShort,
                             std::int32_t shortSide);

// Where the stamp of `width` x `height` goes on a `canvas` whose picture
// lies at `picture` (the whole canvas unless it is framed): its lower right
// corner `height` pixels in from the picture's right and bottom edges; in
// the frame's white below the picture, right-aligned with it and centred in
// that margin, when the margin is at least twice the stamp's height. Kept
// inside the canvas.
PixelRect DateStampPlace(PixelSize canvas, const PixelRect& picture, std::int32_t width,
                         std::int32_t height);

// Draws `text` in the stamp's orange (#FF8C1A) at `place` (its width and
// height as DateStampWidth and the height), clipped to the bitmap.
void DrawDateStamp(Bitmap& bitmap, const std::string& text, const PixelRect& place);

}  // namespace quorvale
