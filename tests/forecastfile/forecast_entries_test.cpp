#include "forecastfile/forecast_entries.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "core/text.h"
#include "tests/support/case_name.h"
#include "tests/support/text_cases.h"

namespace qelo {
namespace {

using platform::LocalDateTime;

// Writes every field, so that a test sees which of the two texts the update time is made of.
class FieldsFormat final : public platform::Clock {
 public:
  LocalDateTime Now() const override { return {}; }
  std::u16string ShortDate(const LocalDateTime& t) const override {
    return Text(u"date", {t.year, t.month, t.day});
  }
  std::u16string LongTime(const LocalDateTime& t) const override {
    return Text(u"time", {t.hour, t.minute, t.second, t.millisecond});
  }

 private:
  static std::u16string Text(std::u16string text, std::initializer_list<int> fields) {
    for (const int field : fields) {
      text += u'|';
      for (const char c : std::to_string(field)) text += static_cast<char16_t>(c);
    }
    return text;
  }
};

struct UpdateTimeCase {
  const char* name;
  LocalDateTime time;
  std::u16string expected;
};

void PrintTo(const UpdateTimeCase& c, std::ostream* out) { *out << c.name; }

class UpdateTimeTest : public ::testing::TestWithParam<UpdateTimeCase> {};

TEST_P(UpdateTimeTest, IsTheDateThenABlankAndTheTimeButAtMidnight) {
  EXPECT_EQ(FormatUpdateTime(GetParam().time, FieldsFormat()), GetParam().expected);
}

const UpdateTimeCase kUpdateTimes[] = {
    {"Example", {2014, 9, 16, 8, 5, 9, 0}, u"date|2014|9|16 time|8|5|9|0"},
    {"MidnightIsTheDateAlone", {2014, 9, 16, 0, 0, 0, 0}, u"date|2014|9|16"},
    {"OneMillisecondAfterMidnight", {2014, 9, 16, 0, 0, 0, 1}, u"date|2014|9|16 time|0|0|0|1"},
    {"OneSecondAfterMidnight", {2014, 9, 16, 0, 0, 1, 0}, u"date|2014|9|16 time|0|0|1|0"},
    {"OneMinuteAfterMidnight", {2014, 9, 16, 0, 1, 0, 0}, u"date|2014|9|16 time|0|1|0|0"},
    {"NoonIsNoMidnight", {2014, 9, 16, 12, 0, 0, 0}, u"date|2014|9|16 time|12|0|0|0"},
};
INSTANTIATE_TEST_SUITE_P(Table, UpdateTimeTest, ::testing::ValuesIn(kUpdateTimes), test::CaseName);

TEST(ForecastFilePathTest, KeepsTheDirectoryWithItsSeparator) {
  const test::TextCase cases[] = {
      {u"C:\\Program Files\\天气\\qelo.exe", u"C:\\Program Files\\天气\\qeloweather.ini", u'\\'},
      {u"C:/dir\\qelo.exe", u"C:/dir\\qeloweather.ini", u'\\'},
      {u"/opt/qelo/bin/qeloweather", u"/opt/qelo/bin/qeloweather.ini", u'/'},
      {u"/opt/C:\\dir\\qeloweather", u"/opt/qeloweather.ini", u'/'},
      {u"qelo.exe", u"qeloweather.ini"},
  };
  test::ExpectEachText(cases, ForecastFilePath);
}

// Keeps each write as "[section] key=value".
class RecordingFile final : public ForecastFile {
 public:
  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override {
    writes.push_back(ToUtf8(u"[" + section + u"] " + key + u"=" + value));
  }
  void Close() override {}
  std::vector<std::string> writes;
};

TEST(WriteForecastTest, WritesTheSeventeenKeysInOrder) {
  RecordingFile file;
  const Forecast forecast{{u"16日（今天）", u"多云转阵雨", u"29°C~22°C", u"微风"},
                          {u"17日（明天）", u"阵雨", u"27°C~21°C", u"东北风3-4级"},
                          {u"18日（后天）", u"", u"°C~°C", u""}};
  WriteForecast(file, u"2014/9/16 8:05:09", u"福州", forecast);
  const std::vector<std::string> expected = {
      "[qelo] 更新时间=2014/9/16 8:05:09",
      "[qelo] 感谢=感谢你使用qelo天气预报插件",
      "[qelo] ver=1.0",
      "[qelo] 获取最新版=http://qeloweather.example",
      "[qelo] 今天=16日（今天）",
      "[qelo] 城市=福州",
      "[qelo] 今天情况=多云转阵雨",
      "[qelo] 今天度数=29°C~22°C",
      "[qelo] 今天风力=微风",
      "[qelo] 明天=17日（明天）",
      "[qelo] 明天情况=阵雨",
      "[qelo] 明天度数=27°C~21°C",
      "[qelo] 明天风力=东北风3-4级",
      "[qelo] 后天=18日（后天）",
      "[qelo] 后天情况=",
      "[qelo] 后天度数=°C~°C",
      "[qelo] 后天风力=",
  };
  EXPECT_EQ(file.writes, expected);
}

}  // namespace
}  // namespace qelo
