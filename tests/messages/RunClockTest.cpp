#include <gtest/gtest.h>

#include "messages/RunClock.h"

namespace quorvale {
namespace {

using namespace std::chrono_literals;

TEST(RunClock, TheWindowsTimeLeftText) {
  EXPECT_EQ(TimeLeftText(0ms, {0, 10}), "経過 0:00");
  EXPECT_EQ(TimeLeftText(12'500ms, {5, 20}), "経過 0:12　残り 0:38");
  EXPECT_EQ(TimeLeftText(3'723'000ms, {900, 1000}), "経過 1:02:03　残り 6:54");
}

}  // namespace
}  // namespace quorvale
