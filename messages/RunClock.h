#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvale {

// The photos done so far and in all.
struct ProgressCount {
  int done = 0;
  int total = 0;
};

// What the time since a run began says of the rest of it. Before the first
// whole millisecond, or before a photo is done, there is no rate and no time
// left.
struct RunTimes {
  std::int64_t elapsedSeconds = 0;          // truncated
  std::optional<double> perSecond;          // photos per second so far
  std::optional<std::int64_t> leftSeconds;  // at that rate, to the nearest second
};
RunTimes TimesOf(std::chrono::milliseconds elapsed, ProgressCount count);

// m:ss, or h:mm:ss from an hour on.
std::string ClockText(std::int64_t seconds);

// Two significant figures for slow runs, whole photos for fast ones.
std::string RateText(double perSecond);

// The window's progress text of time: "経過 1:05　残り 0:40", or only the
// elapsed part while there is no rate.
std::string TimeLeftText(std::chrono::milliseconds elapsed, ProgressCount count);

}  // namespace quorvale
