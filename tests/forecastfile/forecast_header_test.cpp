#include "forecastfile/forecast_header.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/recording_forecast_file.h"

namespace qelo {
namespace {

using platform::DateTimeFormat;
using platform::LocalDateTime;

DateTimeFormat ChineseFormat() {
  DateTimeFormat format;
  format.shortDatePattern = u"yyyy/M/d";
  format.dateSeparator = u"/";
  format.timeSeparator = u":";
  format.hoursLeadingZero = false;
  format.twelveHourClock = false;
  return format;
}

DateTimeFormat TwelveHour(bool designatorBefore) {
  DateTimeFormat format = ChineseFormat();
  format.twelveHourClock = true;
  format.amDesignator = u"上午";
  format.pmDesignator = u"下午";
  format.designatorBeforeTime = designatorBefore;
  return format;
}

DateTimeFormat American() {
  DateTimeFormat format = TwelveHour(false);
  format.shortDatePattern = u"M/d/yyyy";
  format.amDesignator = u"AM";
  format.pmDesignator = u"PM";
  return format;
}

DateTimeFormat German() {
  DateTimeFormat format = ChineseFormat();
  format.shortDatePattern = u"dd/MM/yyyy";
  format.dateSeparator = u".";
  format.hoursLeadingZero = true;
  return format;
}

struct UpdateTimeCase {
  const char* name;
  LocalDateTime time;
  DateTimeFormat format;
  std::u16string expected;
};

void PrintTo(const UpdateTimeCase& c, std::ostream* out) { *out << c.name; }

class UpdateTimeTest : public ::testing::TestWithParam<UpdateTimeCase> {};

TEST_P(UpdateTimeTest, Formats) {
  EXPECT_EQ(FormatUpdateTime(GetParam().time, GetParam().format), GetParam().expected);
}

DateTimeFormat WithLeadingZero(DateTimeFormat format) {
  format.hoursLeadingZero = true;
  return format;
}

DateTimeFormat TwoDigitYear() {
  DateTimeFormat format = ChineseFormat();
  format.shortDatePattern = u"yy-MM-dd";
  format.timeSeparator = u".";
  return format;
}

DateTimeFormat QuotedText() {
  DateTimeFormat format = ChineseFormat();
  format.shortDatePattern = u"yyyy'年'M'月'd'日'";
  return format;
}

DateTimeFormat EmptyDesignator() {
  DateTimeFormat format = TwelveHour(false);
  format.amDesignator = u"";
  return format;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateTimeTest,
    ::testing::Values(
        UpdateTimeCase{"Example", {2014, 9, 16, 8, 5, 9, 0}, ChineseFormat(), u"2014/9/16 8:05:09"},
        UpdateTimeCase{"LeadingZeroHours",
                       {2014, 9, 16, 8, 5, 9, 0},
                       WithLeadingZero(ChineseFormat()),
                       u"2014/9/16 08:05:09"},
        UpdateTimeCase{"DesignatorBefore",
                       {2014, 9, 16, 8, 5, 9, 0},
                       TwelveHour(true),
                       u"2014/9/16 上午 8:05:09"},
        UpdateTimeCase{"DesignatorAfter",
                       {2014, 9, 16, 20, 5, 9, 0},
                       TwelveHour(false),
                       u"2014/9/16 8:05:09 下午"},
        UpdateTimeCase{"TwelveAfterMidnightIsAm",
                       {2014, 9, 16, 0, 30, 0, 0},
                       American(),
                       u"9/16/2014 12:30:00 AM"},
        UpdateTimeCase{
            "NoonIsTwelvePm", {2014, 9, 16, 12, 0, 1, 0}, American(), u"9/16/2014 12:00:01 PM"},
        UpdateTimeCase{
            "MidnightIsTheDateAlone", {2014, 9, 16, 0, 0, 0, 0}, American(), u"9/16/2014"},
        UpdateTimeCase{"OneMillisecondAfterMidnight",
                       {2014, 9, 16, 0, 0, 0, 1},
                       ChineseFormat(),
                       u"2014/9/16 0:00:00"},
        UpdateTimeCase{
            "OtherSeparators", {2014, 9, 6, 8, 5, 9, 0}, German(), u"06.09.2014 08:05:09"},
        UpdateTimeCase{
            "TwoDigitYear", {2009, 1, 2, 13, 4, 5, 0}, TwoDigitYear(), u"09-01-02 13.04.05"},
        UpdateTimeCase{
            "QuotedLiterals", {2014, 9, 16, 8, 5, 9, 0}, QuotedText(), u"2014年9月16日 8:05:09"},
        UpdateTimeCase{"EmptyDesignatorAddsNoBlank",
                       {2014, 9, 16, 8, 5, 9, 0},
                       EmptyDesignator(),
                       u"2014/9/16 8:05:09"}),
    [](const ::testing::TestParamInfo<UpdateTimeCase>& info) {
      return std::string(info.param.name);
    });

TEST(ForecastFilePathTest, KeepsTheDirectoryWithItsSeparator) {
  EXPECT_EQ(ForecastFilePath(u"C:\\Program Files\\天气\\qelo.exe", u'\\'),
            u"C:\\Program Files\\天气\\qeloweather.ini");
  EXPECT_EQ(ForecastFilePath(u"/opt/qelo/bin/qeloweather", u'/'), u"/opt/qelo/bin/qeloweather.ini");
  EXPECT_EQ(ForecastFilePath(u"qelo.exe", u'\\'), u"qeloweather.ini");
}

TEST(WriteHeaderTest, WritesTheFourHeaderKeysInOrder) {
  test::RecordingForecastFile writer;
  WriteHeader(writer, u"2014/9/16 8:05:09");
  const std::vector<test::RecordedWrite> expected = {
      {u"qelo", u"更新时间", u"2014/9/16 8:05:09"},
      {u"qelo", u"感谢", u"感谢你使用qelo天气预报插件"},
      {u"qelo", u"ver", u"1.0"},
      {u"qelo", u"获取最新版", u"http://qeloweather.example"},
  };
  EXPECT_EQ(writer.writes, expected);
}

}  // namespace
}  // namespace qelo
