#include <gtest/gtest.h>

#include <string>

#include "retrieval/field_extraction.h"
#include "retrieval/page_markers.h"

namespace qelo {
namespace {

struct CutCase {
  const char* name;
  std::u16string text;
  std::u16string start;
  std::u16string end;
  std::u16string expected;
};

class ExtractBetweenTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(ExtractBetweenTest, CutsBetweenTheFirstMarkers) {
  const CutCase& c = GetParam();
  EXPECT_EQ(ExtractBetween(c.text, c.start, c.end), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractBetweenTest,
    ::testing::Values(
        CutCase{"BetweenBoth", u"x<h1>abc</h1>y", u"<h1>", u"</h1>", u"abc"},
        CutCase{"FirstEndMarkerCounts", u"<h1>a</h1>b</h1>", u"<h1>", u"</h1>", u"a"},
        CutCase{"FirstStartMarkerCounts", u"<h1>a<h1>b</h1>", u"<h1>", u"</h1>", u"a<h1>b"},
        CutCase{"AdjacentMarkers", u"<h1></h1>", u"<h1>", u"</h1>", u""},
        CutCase{"EndBeforeStart", u"</h1><h1>x</h1>", u"<h1>", u"</h1>", u""},
        CutCase{"EndOverlapsStart", u"xab", u"ab", u"b", u""},
        CutCase{"EndAbsent", u"<h1>abc", u"<h1>", u"</h1>", u""},
        CutCase{"NeitherPresent", u"abc", u"<h1>", u"</h1>", u""},
        CutCase{"EmptyText", u"", u"<h1>", u"</h1>", u""},
        // Without the start marker the cut begins at the position equal to its length.
        CutCase{"StartAbsent", u"abcdefg</h1>", u"<h1>", u"</h1>", u"defg"},
        CutCase{"StartAbsentOneCharacter", u"abcd</h1>", u"<h1>", u"</h1>", u"d"},
        CutCase{"StartAbsentEndAtItsLength", u"abc</h1>", u"<h1>", u"</h1>", u""},
        CutCase{"StartAbsentEndFirst", u"</h1>abc", u"<h1>", u"</h1>", u""},
        CutCase{"WindValue", u"东南风\">3-4级<", u"\">", u"<", u"3-4级"},
        CutCase{"WindValueWithoutItsStart", u"微风<", u"\">", u"<", u"风"},
        CutCase{"MarkerLongerThanText", u"<h", u"<h1>", u"<", u""},
        // Positions count UTF-16 code units: the emoji takes two.
        CutCase{"SurrogatePairCountsTwice", u"\U0001F600ab</h1>", u"<h1>", u"</h1>", u"b"},
        CutCase{"EmptyStartMarkerCutsFromTheFirstCharacter", u"abc</h1>", u"", u"</h1>", u"abc"},
        CutCase{"EmptyEndMarkerIsNeverFound", u"<h1>abc", u"<h1>", u"", u""}),
    [](const auto& info) { return std::string(info.param.name); });

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
