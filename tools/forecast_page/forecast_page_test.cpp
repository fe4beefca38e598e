#include "tools/forecast_page/forecast_page.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "citydir/unit_china_weather.h"
#include "core/text.h"
#include "retrieval/field_extraction.h"
#include "retrieval/page_lines.h"

namespace qelo {
namespace {

Forecast Extracted(const std::string& html) {
  PageLines lines;
  lines.SetPageText(DecodeUtf8Strict(html));
  return ExtractForecast(lines);
}

std::size_t Occurrences(std::string_view text, std::string_view marker) {
  std::size_t count = 0;
  for (auto at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + 1)) {
    ++count;
  }
  return count;
}

std::int32_t LineHolding(const PageLines& lines, std::u16string_view marker) {
  for (std::int32_t i = 0; i < lines.GetLineCount(); ++i) {
    if (lines.GetLine(i).find(marker) != std::u16string_view::npos) return i;
  }
  return -1;
}

TEST(ForecastPageTest, EveryCityPageGivesItsExpectedValues) {
  std::set<std::int32_t> todayLines;
  std::set<std::size_t> sizes;
  int crlfPages = 0;
  for (int row = 1; row <= UnitChinaWeather::CityCount; ++row) {
    const std::string code = ToUtf8(UnitChinaWeather::CityCode(row));
    const std::u16string city(UnitChinaWeather::CityName(row));
    const ForecastPage page = MakeForecastPage(code);
    ASSERT_EQ(Extracted(page.html), page.expected) << code;
    ASSERT_GE(page.html.size(), 80u * 1024u) << code;
    ASSERT_LE(page.html.size(), 120u * 1000u) << code;
    ASSERT_EQ(Occurrences(page.html, "<!-- 今天明天预报 begin-->"), 1u) << code;
    ASSERT_EQ(Occurrences(page.html, "<!-- 明天后天预报 begin-->"), 1u) << code;
    ASSERT_FALSE(page.expected.today.weather.empty()) << code;
    PageLines lines;
    lines.SetPageText(DecodeUtf8Strict(page.html));
    todayLines.insert(LineHolding(lines, u"<!-- 今天明天预报 begin-->"));
    sizes.insert(page.html.size());
    if (page.html.find("\r\n") != std::string::npos) ++crlfPages;
  }
  EXPECT_GT(todayLines.size(), 500u);
  EXPECT_GT(sizes.size(), 2000u);
  EXPECT_GT(crlfPages, 1000);
  EXPECT_LT(crlfPages, 1586);
}

TEST(ForecastPageTest, SameCodeGivesTheSamePage) {
  const ForecastPage first = MakeForecastPage("101230101");
  const ForecastPage second = MakeForecastPage("101230101");
  EXPECT_EQ(first.html, second.html);
  EXPECT_EQ(first.expected, second.expected);
  EXPECT_NE(first.html, MakeForecastPage("101230201").html);
}

// The headings follow the calendar across month and year ends and leap days; everything else on
// the page but the day numbers and the month's temperatures stays the code's.
TEST(ForecastPageTest, HeadingsCarryTheDateAndTheTwoDaysAfter) {
  struct Case {
    PageDate today;
    std::u16string_view todayHeading, tomorrowHeading, dayAfterHeading;
  };
  const Case cases[] = {
      {{2026, 12, 9}, u"9日（今天）", u"10日（明天）", u"11日（后天）"},
      {{2026, 4, 29}, u"29日（今天）", u"30日（明天）", u"1日（后天）"},
      {{2026, 12, 31}, u"31日（今天）", u"1日（明天）", u"2日（后天）"},
      {{2027, 2, 27}, u"27日（今天）", u"28日（明天）", u"1日（后天）"},
      {{2028, 2, 28}, u"28日（今天）", u"29日（明天）", u"1日（后天）"},
      {{2100, 2, 28}, u"28日（今天）", u"1日（明天）", u"2日（后天）"},
      {{2000, 2, 29}, u"29日（今天）", u"1日（明天）", u"2日（后天）"},
  };
  for (const Case& c : cases) {
    for (const std::string_view code : {"101230101", "101010100"}) {
      const ForecastPage page = MakeForecastPage(code, c.today);
      EXPECT_EQ(page.expected.today.heading, c.todayHeading) << code;
      EXPECT_EQ(page.expected.tomorrow.heading, c.tomorrowHeading) << code;
      EXPECT_EQ(page.expected.dayAfter.heading, c.dayAfterHeading) << code;
      EXPECT_EQ(Extracted(page.html), page.expected) << code;
      EXPECT_EQ(page.html, MakeForecastPage(code, c.today).html) << code;
    }
  }
  EXPECT_EQ(MakeVariantPage("doubled-marker", {2027, 1, 1}).expected.today.heading,
            u"31日（今天）");
  EXPECT_EQ(MakeVariantPage("no-today-marker", {2027, 1, 1}).expected.tomorrow.heading,
            u"2日（明天）");
}

TEST(ForecastPageTest, PageDatesAreReadAsYearMonthDay) {
  EXPECT_EQ(ParsePageDate("2026-12-09"), (PageDate{2026, 12, 9}));
  EXPECT_EQ(ParsePageDate("2028-02-29"), (PageDate{2028, 2, 29}));
  for (const std::string_view bad :
       {"2027-02-29", "2026-04-31", "2026-13-01", "2026-00-10", "2026-12-00", "2026-1-09",
        "2026/12/09", "20261209", "2026-12-09x", "", "abcd-ef-gh"}) {
    EXPECT_EQ(ParsePageDate(bad), std::nullopt) << bad;
  }
}

TEST(ForecastPageTest, CodeOutsideTheTableGetsAPageToo) {
  const ForecastPage page = MakeForecastPage("999999999");
  EXPECT_NE(page.html.find("<title>999999999天气预报"), std::string::npos);
  EXPECT_EQ(Extracted(page.html), page.expected);
}

TEST(ForecastPageTest, VariantPagesGiveTheirDocumentedValues) {
  const ForecastPage base = MakeForecastPage(kVariantBaseCode);
  for (std::string_view name : kVariantNames) {
    const ForecastPage page = MakeVariantPage(name);
    EXPECT_EQ(Extracted(page.html), page.expected) << name;
  }
  const std::u16string none = u"\u00B0C~\u00B0C";
  const DayForecast nothingFound{u"", u"", none, u""};
  const Forecast nothing{nothingFound, nothingFound, nothingFound};
  EXPECT_EQ(MakeVariantPage("empty").expected, nothing);
  EXPECT_EQ(MakeVariantPage("not-utf8").expected, nothing);
  EXPECT_EQ(MakeVariantPage("today-marker-last-line").expected, nothing);
  const std::string notUtf8 = MakeVariantPage("not-utf8").html;
  ASSERT_EQ(notUtf8.size(), base.html.size());
  std::size_t differentBytes = 0;
  for (std::size_t i = 0; i < notUtf8.size(); ++i) differentBytes += notUtf8[i] != base.html[i];
  EXPECT_EQ(differentBytes, 1u);

  const Forecast noToday = MakeVariantPage("no-today-marker").expected;
  EXPECT_EQ(noToday.today, nothingFound);
  EXPECT_EQ(noToday.tomorrow, base.expected.tomorrow);
  EXPECT_EQ(noToday.dayAfter, base.expected.dayAfter);

  const Forecast doubled = MakeVariantPage("doubled-marker").expected;
  EXPECT_NE(doubled.today, base.expected.today);
  EXPECT_EQ(doubled.tomorrow, base.expected.tomorrow);
}

TEST(ForecastPageTest, UnknownVariantIsRefused) {
  EXPECT_THROW(MakeVariantPage("no-such-page"), std::invalid_argument);
}

}  // namespace
}  // namespace qelo
