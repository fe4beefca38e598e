// The update time as the user's locale writes it: the formats read from the locale give the
// same date and time as the system's own formatting.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "forecastfile/forecast_entries.h"
#include "platform/clock.h"
#include "platform/text_win32.h"

namespace qelo {
namespace {

std::u16string SystemText(const SYSTEMTIME& time, bool date) {
  wchar_t buffer[128] = {};
  const int length =
      date ? GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, 128,
                             nullptr)
           : GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, buffer, 128);
  return length > 1 ? std::u16string(reinterpret_cast<const char16_t*>(buffer), length - 1)
                    : std::u16string();
}

TEST(UpdateTimeWindowsTest, MatchesTheSystemsShortDateAndLongTime) {
  const std::unique_ptr<platform::Clock> format = platform::SystemClock();
  for (const SYSTEMTIME& time :
       {SYSTEMTIME{2014, 9, 2, 16, 8, 5, 9, 0}, SYSTEMTIME{2014, 12, 3, 31, 23, 59, 59, 999},
        SYSTEMTIME{2009, 1, 5, 2, 0, 30, 0, 0}}) {
    const platform::LocalDateTime local{time.wYear,   time.wMonth,  time.wDay,         time.wHour,
                                        time.wMinute, time.wSecond, time.wMilliseconds};
    EXPECT_EQ(FormatUpdateTime(local, *format),
              SystemText(time, true) + u" " + SystemText(time, false));
  }
}

// Run again with LANG and LC_ALL set to a desktop's locale (QELO_DESKTOP_LOCALE names it): the
// texts that the system under test writes for that locale's short date and long time (Wine's
// locale data: Windows itself writes 08:05:09 as 8:05:09 for zh-CN and 16.09.2014 for de-DE), so
// that the locale of the desktop is seen to reach the update time.
TEST(UpdateTimeWindowsTest, IsTheDesktopsOwnText) {
  const char* locale = std::getenv("QELO_DESKTOP_LOCALE");
  if (locale == nullptr) GTEST_SKIP() << "QELO_DESKTOP_LOCALE is not set";
  const std::map<std::string, std::u16string> expected = {
      {"zh_CN", u"2014/9/16 08:05:09"},
      {"de_DE", u"16.9.2014 08:05:09"},
  };
  ASSERT_TRUE(expected.count(locale)) << locale;
  const std::unique_ptr<platform::Clock> format = platform::SystemClock();
  EXPECT_EQ(FormatUpdateTime({2014, 9, 16, 8, 5, 9, 0}, *format), expected.at(locale));
}

}  // namespace
}  // namespace qelo
