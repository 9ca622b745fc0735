#include "messages/RunClock.h"

#include <algorithm>
#include <cstdio>

namespace quorvale {

RunTimes TimesOf(std::chrono::milliseconds elapsed, ProgressCount count) {
  const std::int64_t ms = std::max<std::int64_t>(0, elapsed.count());
  RunTimes times;
  times.elapsedSeconds = ms / 1000;
  if (ms == 0 || count.done <= 0) return times;
  const std::int64_t remaining = count.total - count.done;
  times.leftSeconds = (remaining * ms + count.done * 500) / (count.done * 1000);
  times.perSecond = count.done * 1000.0 / static_cast<double>(ms);
  return times;
}

std::string ClockText(std::int64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

std::string RateText(double perSecond) {
  char text[32];
  std::snprintf(text, sizeof text,
                perSecond >= 100 ? "%.0f"
                : perSecond >= 1 ? "%.1f"
                                 : "%.2f",
                perSecond);
  return text;
}

std::string TimeLeftText(std::chrono::milliseconds elapsed, ProgressCount count) {
  const RunTimes times = TimesOf(elapsed, count);
  std::string text = "経過 " + ClockText(times.elapsedSeconds);
  if (times.leftSeconds) text += "　残り " + ClockText(*times.leftSeconds);
  return text;
}

}  // namespace quorvale
