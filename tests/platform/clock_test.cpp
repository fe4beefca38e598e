#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <string>

namespace qelo::platform {
namespace {

struct MappingCase {
  const char* name;
  const char* dateFormat;
  const char* timeFormat;
  std::u16string pattern;
  std::u16string dateSeparator;
  std::u16string timeSeparator;
  bool leadingZero;
  bool twelveHour;
  bool designatorBefore;
};

void PrintTo(const MappingCase& c, std::ostream* out) { *out << c.name; }

class StrftimeMappingTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(StrftimeMappingTest, Maps) {
  const MappingCase& c = GetParam();
  const DateTimeFormat format =
      MapStrftimeFormats(c.dateFormat, c.timeFormat, "%I:%M:%S %p", "上午", "下午");
  EXPECT_EQ(format.shortDatePattern, c.pattern);
  EXPECT_EQ(format.dateSeparator, c.dateSeparator);
  EXPECT_EQ(format.timeSeparator, c.timeSeparator);
  EXPECT_EQ(format.hoursLeadingZero, c.leadingZero);
  EXPECT_EQ(format.twelveHourClock, c.twelveHour);
  if (c.twelveHour) {
    EXPECT_EQ(format.designatorBeforeTime, c.designatorBefore);
  }
  EXPECT_EQ(format.amDesignator, u"上午");
  EXPECT_EQ(format.pmDesignator, u"下午");
}

INSTANTIATE_TEST_SUITE_P(
    Locales, StrftimeMappingTest,
    ::testing::Values(
        MappingCase{"CLocale", "%m/%d/%y", "%H:%M:%S", u"MM/dd/yy", u"/", u":", true, false, false},
        MappingCase{"UnitedStates", "%m/%d/%Y", "%r", u"MM/dd/yyyy", u"/", u":", true, true, false},
        MappingCase{"Germany", "%d.%m.%Y", "%T", u"dd/MM/yyyy", u".", u":", true, false, false},
        MappingCase{"China", "%Y年%m月%d日", "%H时%M分%S秒", u"yyyy/MM'月'dd'日'", u"年", u"时",
                    true, false, false},
        MappingCase{"Korea", "%Y년 %m월 %d일", "%p %I시 %M분 %S초", u"yyyy/MM'월 'dd'일'", u"년 ",
                    u"시 ", true, true, true},
        MappingCase{"Composites", "%D", "%R", u"MM/dd/yy", u"/", u":", true, false, false},
        MappingCase{"IsoDate", "%F", "%k:%M:%S", u"yyyy/MM/dd", u"-", u":", false, false, false},
        MappingCase{"Unpadded", "%-d/%-m/%Y", "%l:%M:%S %p", u"d/M/yyyy", u"/", u":", false, true,
                    false},
        MappingCase{"DayPaddedWithBlank", "%e.%m.%Y", "%-H.%M.%S", u"d/MM/yyyy", u".", u".", false,
                    false, false},
        MappingCase{"MonthNamesFallBack", "%d %b %Y", "%H:%M:%S", u"yyyy/M/d", u"/", u":", true,
                    false, false},
        MappingCase{"NoTimeFieldsFallBack", "%Y/%m/%d", "%s", u"yyyy/MM/dd", u"/", u":", false,
                    false, false},
        MappingCase{"EmptyFallsBack", "", "", u"yyyy/M/d", u"/", u":", false, false, false}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return std::string(info.param.name); });

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
