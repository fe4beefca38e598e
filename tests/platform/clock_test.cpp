#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <ostream>
#include <string>

namespace qelo::platform {
namespace {

// std::time() may read a coarse clock that lags the fine one the system clock reads by up to a
// tick, so the bounds come from the fine clock and are a second wider on each side.
TEST(SystemClockTest, ReadsTheLocalClockToTheMillisecond) {
  using std::chrono::system_clock;
  const std::time_t before = system_clock::to_time_t(system_clock::now()) - 1;
  const LocalDateTime now = SystemClock()->Now();
  const std::time_t after = system_clock::to_time_t(system_clock::now()) + 1;
  std::tm low{};
  std::tm high{};
#ifdef _WIN32
  localtime_s(&low, &before);
  localtime_s(&high, &after);
#else
  localtime_r(&before, &low);
  localtime_r(&after, &high);
#endif
  EXPECT_TRUE(now.year == low.tm_year + 1900 || now.year == high.tm_year + 1900);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_TRUE(now.day == low.tm_mday || now.day == high.tm_mday);
  const int seconds = now.hour * 3600 + now.minute * 60 + now.second;
  const int lowSeconds = low.tm_hour * 3600 + low.tm_min * 60 + low.tm_sec;
  const int highSeconds = high.tm_hour * 3600 + high.tm_min * 60 + high.tm_sec;
  if (highSeconds >= lowSeconds) {
    EXPECT_GE(seconds, lowSeconds);
    EXPECT_LE(seconds, highSeconds);
  }
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

}  // namespace
}  // namespace qelo::platform
