#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "messages/RunClock.h"

namespace quorvale::cli {

// `text` made safe to show on a terminal: each control character is shown
// as an escape, so a name cannot break a line or send the terminal a
// command. Tab, line feed and carriage return become \t, \n and \r; every
// other byte below 0x20 and DEL become \xHH (ESC is \x1b). With `utf8`, the
// C1 controls U+0080..U+009F, as UTF-8 (0xC2 0x80..0x9F), become
// \xc2\xHH as well; without it (a locale with two-byte characters, whose
// bytes may look like that) they stay. Everything else, a backslash
// included, stands as it is.
std::string EscapeControls(std::string_view text, bool utf8);

// The columns a UTF-8 text takes on a terminal: two for East Asian wide and
// full-width characters, one for any other character (or stray byte).
int DisplayWidth(std::string_view text);

// What the progress line adds after the status: the time since the run
// began, photos per second and the time left at that rate,
//   "  1:05 elapsed  2.5 photos/s  0:40 left"
// (minutes:seconds, hours:minutes:seconds from an hour on), in at most
// `room` columns: when the whole does not fit, the rate goes first, then
// the elapsed time, then everything. Before the first whole millisecond
// there is no rate, and only the elapsed time is shown.
std::string ProgressSuffix(std::chrono::milliseconds elapsed, ProgressCount count, int room);

}  // namespace quorvale::cli
