#include "retrieval/field_extraction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "retrieval/page_lines.h"
#include "retrieval/page_markers.h"

namespace qelo {
namespace {

using namespace page_markers;

// One day as the page shows it.
struct Day {
  std::u16string heading, weather, first, second, windDirection, windForce;
};

struct Page {
  std::vector<std::u16string> lines;

  explicit Page(std::size_t count) : lines(count) {}
  void Set(std::size_t line, std::u16string_view text) { lines.at(line) = std::u16string(text); }
  std::u16string Text() const {
    std::u16string text;
    for (const auto& line : lines) text += line + u"\r\n";
    return text;
  }

  static std::u16string Weather(const std::u16string& w) {
    return std::u16string(kWeatherStart) + w + u"\">" + w + u"</p>";
  }
  static std::u16string Temperature(const std::u16string& t) {
    return u"<p class=\"tem\"><span>" + t + u"</span><i>°C</i></p>";
  }
  static std::u16string Wind(const std::u16string& direction, const std::u16string& force) {
    return std::u16string(kWindStart) + direction + u"\">" + force + u"</span></p>";
  }

  void PutToday(std::size_t t, const Day& day) {
    Set(t, u"<!-- 今天明天预报 begin-->");
    Set(t + 2, u"<h1>" + day.heading + u"</h1>");
    Set(t + 5, Weather(day.weather));
    Set(t + 7, Temperature(day.first));
    Set(t + 9, Wind(day.windDirection, day.windForce));
    Set(t + 21, Temperature(day.second));
  }
  // Tomorrow's heading stands three lines after its marker, and its values as the day after's
  // stand after that heading.
  void PutTomorrow(std::size_t m, const Day& day) {
    Set(m, u"<!-- 明天后天预报 begin-->");
    PutDayAfter(m + 3, day);
  }
  void PutDayAfter(std::size_t d, const Day& day) {
    Set(d, u"<h2>" + day.heading + u"</h2>");
    Set(d + 5, Weather(day.weather));
    Set(d + 7, Temperature(day.first));
    Set(d + 9, Wind(day.windDirection, day.windForce));
    Set(d + 19, Temperature(day.second));
  }
};

const Day kToday{u"18日（今天）", u"多云", u"28", u"19", u"东南风", u"3-4级"};
const Day kTomorrow{u"19日（明天）", u"小雨", u"26", u"18", u"东风", u"微风"};
const Day kDayAfter{u"20日（后天）", u"阴", u"25", u"17", u"北风", u"3-4级"};
const Day kNoDay{};

// The worked layout: t = 10, m = 35, d = 61.
Page WorkedExample() {
  Page page(90);
  page.PutToday(10, kToday);
  page.PutTomorrow(35, kTomorrow);
  page.PutDayAfter(61, kDayAfter);
  return page;
}

// The values the extraction must give for the days of a page.
Forecast Expected(const Day& today, const Day& tomorrow, const Day& dayAfter) {
  const auto expected = [](const Day& day) {
    return DayForecast{day.heading, day.weather, day.second + u"\u00B0C~" + day.first + u"\u00B0C",
                       day.windForce};
  };
  return {expected(today), expected(tomorrow), expected(dayAfter)};
}

Forecast Extract(const std::u16string& text) {
  PageLines lines;
  lines.SetPageText(text);
  return ExtractForecast(lines);
}

TEST(FieldExtractionTest, WorkedExampleGivesEveryValueInOrder) {
  EXPECT_EQ(Extract(WorkedExample().Text()), Expected(kToday, kTomorrow, kDayAfter));
}

TEST(FieldExtractionTest, EmptyPageWritesEveryKeyWithEmptyValues) {
  EXPECT_EQ(Extract(u""), Expected(kNoDay, kNoDay, kNoDay));
}

TEST(FieldExtractionTest, WithoutTodayMarkerTodayIsCutFromTheFirstLines) {
  Page page(100);
  page.Set(0, u"<h1>页首</h1>");
  page.Set(3, Page::Weather(u"晴"));
  page.Set(5, Page::Temperature(u"9"));
  page.Set(9, Page::Wind(u"西风", u"4-5级"));  // not read: the search stopped past the end
  page.Set(19, Page::Temperature(u"-1"));
  page.PutTomorrow(25, kTomorrow);
  page.PutDayAfter(60, kDayAfter);
  const Day today{u"页首", u"晴", u"9", u"-1", u"", u""};
  EXPECT_EQ(Extract(page.Text()), Expected(today, kTomorrow, kDayAfter));
}

TEST(FieldExtractionTest, TodayMarkerOnTheLastLineLeavesEveryValueEmpty) {
  Page page(91);
  page.PutTomorrow(35, kTomorrow);
  page.PutDayAfter(61, kDayAfter);
  page.Set(90, u"<!-- 今天明天预报 begin-->");
  EXPECT_EQ(Extract(page.Text()), Expected(kNoDay, kNoDay, kNoDay));
}

TEST(FieldExtractionTest, FirstTodayMarkerCountsAndEarlyTomorrowMarkerIsNotSeen) {
  Page page(130);
  page.PutToday(10, kToday);
  const Day stale{u"17日（今天）", u"晴", u"30", u"20", u"南风", u"微风"};
  page.PutToday(40, stale);
  page.Set(30, u"<!-- 明天后天预报 begin-->");  // t + 20: before the tomorrow search starts
  page.PutTomorrow(70, kTomorrow);
  page.PutDayAfter(100, kDayAfter);
  EXPECT_EQ(Extract(page.Text()), Expected(kToday, kTomorrow, kDayAfter));
}

TEST(FieldExtractionTest, MarkerOnlyCountsWhenItLiesWithinTheFirst4096CodeUnits) {
  const Day early{u"17日（今天）", u"晴", u"30", u"20", u"南风", u"微风"};
  for (const std::size_t prefix : {4076u, 4077u}) {
    Page page(130);
    page.PutToday(10, early);
    page.Set(10, std::u16string(prefix, u'x') + u"<!-- 今天明天预报 begin-->");
    page.PutToday(40, kToday);
    page.PutTomorrow(65, kTomorrow);
    page.PutDayAfter(95, kDayAfter);
    const Day& today = prefix + kTodayBlock.size() <= 4096 ? early : kToday;
    EXPECT_EQ(Extract(page.Text()), Expected(today, kTomorrow, kDayAfter)) << prefix;
  }
}

TEST(FieldExtractionTest, FirstDayAfterWordFromTomorrowsLastLineIsTheAnchor) {
  Page page = WorkedExample();
  page.Set(56, u"<a href=\"#\">后天</a>");             // m + 21: before the search starts
  page.Set(58, u"<li><h2>周日</h2><a>后天</a></li>");  // m + 23: taken for the heading
  const Day early{u"周日", u"", u"", u"", u"", u""};
  EXPECT_EQ(Extract(page.Text()), Expected(kToday, kTomorrow, early));
}

TEST(FieldExtractionTest, WindCutWithoutValueStartMarker) {
  Page page = WorkedExample();
  page.Set(47, std::u16string(kWindStart) + u"微风</span></p>");
  Day tomorrow = kTomorrow;
  tomorrow.windForce = std::u16string(1, u'风');
  EXPECT_EQ(Extract(page.Text()), Expected(kToday, tomorrow, kDayAfter));
}

// ExtractBetween and the markers it cuts with.
TEST(ExtractBetweenTest, CutsBetweenTheFirstMarkers) {
  const struct {
    const char* name;
    std::u16string text, start, end, expected;
  } cases[] = {
      {"BetweenBoth", u"x<h1>abc</h1>y", u"<h1>", u"</h1>", u"abc"},
      {"FirstEndMarkerCounts", u"<h1>a</h1>b</h1>", u"<h1>", u"</h1>", u"a"},
      {"FirstStartMarkerCounts", u"<h1>a<h1>b</h1>", u"<h1>", u"</h1>", u"a<h1>b"},
      {"AdjacentMarkers", u"<h1></h1>", u"<h1>", u"</h1>", u""},
      {"EndBeforeStart", u"</h1><h1>x</h1>", u"<h1>", u"</h1>", u""},
      {"EndOverlapsStart", u"xab", u"ab", u"b", u""},
      {"EndAbsent", u"<h1>abc", u"<h1>", u"</h1>", u""},
      {"NeitherPresent", u"abc", u"<h1>", u"</h1>", u""},
      {"EmptyText", u"", u"<h1>", u"</h1>", u""},
      // Without the start marker the cut begins at the position equal to its length.
      {"StartAbsent", u"abcdefg</h1>", u"<h1>", u"</h1>", u"defg"},
      {"StartAbsentOneCharacter", u"abcd</h1>", u"<h1>", u"</h1>", u"d"},
      {"StartAbsentEndAtItsLength", u"abc</h1>", u"<h1>", u"</h1>", u""},
      {"StartAbsentEndFirst", u"</h1>abc", u"<h1>", u"</h1>", u""},
      {"WindValue", u"东南风\">3-4级<", u"\">", u"<", u"3-4级"},
      {"WindValueWithoutItsStart", u"微风<", u"\">", u"<", u"风"},
      {"MarkerLongerThanText", u"<h", u"<h1>", u"<", u""},
      // Positions count UTF-16 code units: the emoji takes two.
      {"SurrogatePairCountsTwice", u"\U0001F600ab</h1>", u"<h1>", u"</h1>", u"b"},
      {"EmptyStartMarkerCutsFromTheFirstCharacter", u"abc</h1>", u"", u"</h1>", u"abc"},
      {"EmptyEndMarkerIsNeverFound", u"<h1>abc", u"<h1>", u"", u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExtractBetween(c.text, c.start, c.end), c.expected) << c.name;
}

TEST(PageMarkersTest, HaveTheirExactLengths) {
  using namespace page_markers;
  const struct {
    std::u16string_view marker;
    std::size_t length;
  } markers[] = {{kTodayBlock, 20},       {kTomorrowBlock, 20},  {kDayAfterWord, 2},
                 {kTodayHeadingStart, 4}, {kTodayHeadingEnd, 5}, {kHeadingStart, 4},
                 {kHeadingEnd, 5},        {kWeatherStart, 22},   {kWeatherEnd, 2},
                 {kTemperatureStart, 6},  {kTemperatureEnd, 7},  {kWindStart, 37},
                 {kWindEnd, 6},           {kWindValueStart, 2},  {kWindValueEnd, 1}};
  for (std::size_t i = 0; i < std::size(markers); ++i) {
    EXPECT_EQ(markers[i].marker.size(), markers[i].length) << "marker " << i;
  }
  for (std::u16string_view block : {kTodayBlock, kTomorrowBlock}) {
    EXPECT_EQ(block.substr(4, 1), u" ");
    EXPECT_EQ(block.substr(11, 1), u" ");
  }
  EXPECT_EQ(kTomorrowBlock.find(kDayAfterWord), 7u);
}

}  // namespace
}  // namespace qelo
