#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <string>

namespace qelo::platform {
namespace {

TEST(LocalNowTest, ReadsTheLocalClockToTheMillisecond) {
  const std::time_t before = std::time(nullptr);
  const LocalDateTime now = LocalNow();
  const std::time_t after = std::time(nullptr);
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
