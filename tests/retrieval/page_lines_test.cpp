#include "retrieval/page_lines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/case_name.h"

namespace qelo {
namespace {

std::vector<std::u16string> AllLines(const PageLines& lines) {
  std::vector<std::u16string> all;
  for (std::int32_t i = 0; i < lines.GetLineCount(); ++i) all.push_back(lines.GetLine(i));
  return all;
}

TEST(PageLinesTest, HoldsTheTextBoxLineUntilAPageIsLoaded) {
  const PageLines lines;
  EXPECT_EQ(AllLines(lines), std::vector<std::u16string>{u"mmow"});
}

struct SplitCase {
  const char* name;
  std::u16string text;
  std::vector<std::u16string> lines;
};

class PageLinesSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PageLinesSplitTest, SplitsAtEveryKindOfLineBreak) {
  PageLines lines;
  lines.SetPageText(GetParam().text);
  EXPECT_EQ(AllLines(lines), GetParam().lines);
}

const SplitCase kBreaks[] = {
    {"LfAndLoneCr", u"a\nb\rc", {u"a", u"b", u"c"}},
    {"TwoCrLf", u"a\r\n\r\n", {u"a", u""}},
    {"LfThenCrIsTwoBreaks", u"a\n\rb", {u"a", u"", u"b"}},
    {"CrThenCrLf", u"a\r\r\nb", {u"a", u"", u"b"}},
    {"TrailingLf", u"a\n", {u"a"}},
    {"TrailingCr", u"a\r", {u"a"}},
    {"TrailingCrLf", u"a\r\n", {u"a"}},
    {"TwoTrailingLf", u"a\n\n", {u"a", u""}},
    {"NoBreak", u"abc", {u"abc"}},
    {"Empty", u"", {}},
    {"OnlyOneBreak", u"\r\n", {u""}},
    {"OnlyBreaks", u"\n\r\r\n\n", {u"", u"", u"", u""}},
    {"OtherControlsDoNotBreak", u"a\tb\fc\u2028d", {u"a\tb\fc\u2028d"}},
    {"NulEndsTheLineAndThePage", std::u16string(u"ab\ncd\0ef\ngh", 11), {u"ab", u"cd"}},
    {"NulFirst", std::u16string(u"\0a\nb", 4), {}},
    {"NulAfterBreak", std::u16string(u"a\n\0b", 4), {u"a"}},
};
INSTANTIATE_TEST_SUITE_P(Breaks, PageLinesSplitTest, ::testing::ValuesIn(kBreaks), test::CaseName);

TEST(PageLinesTest, ReadsOutsideTheLinesGiveEmptyText) {
  PageLines lines;
  lines.SetPageText(u"a\nb\n");
  ASSERT_EQ(lines.GetLineCount(), 2);
  for (std::int32_t index : {2, 3, std::numeric_limits<std::int32_t>::max(), -1,
                             std::numeric_limits<std::int32_t>::min()}) {
    EXPECT_EQ(lines.GetLine(index), u"") << index;
  }
}

TEST(PageLinesTest, ReadsAtMostTheFirst4096CodeUnitsOfALine) {
  // The marker straddles the limit: only "<h" lies within the first 4096 code units.
  const std::u16string longLine = std::u16string(4094, u'x') + u"<h1>" + std::u16string(902, u'y');
  ASSERT_EQ(longLine.size(), 5000u);
  PageLines lines;
  lines.SetPageText(longLine + u"\r\n" + std::u16string(4096, u'z') + u"\r\nend");
  ASSERT_EQ(lines.GetLineCount(), 3);
  const std::u16string first = lines.GetLine(0);
  EXPECT_EQ(first, longLine.substr(0, 4096));
  EXPECT_EQ(first.find(u"<h1>"), std::u16string::npos);
  EXPECT_EQ(lines.GetLine(1), std::u16string(4096, u'z'));
  EXPECT_EQ(lines.GetLine(2), u"end");
}

TEST(PageLinesTest, ANewPageReplacesTheWholeContent) {
  PageLines lines;
  lines.SetPageText(u"one\ntwo\nthree");
  lines.SetPageText(u"four");
  EXPECT_EQ(AllLines(lines), std::vector<std::u16string>{u"four"});
}

TEST(PageLinesTest, ManyLinesKeepTheirOrder) {
  const auto lineText = [](int i) {
    return std::u16string(i % 7, static_cast<char16_t>(u'a' + i % 26));
  };
  std::u16string text;
  for (int i = 0; i < 100000; ++i) text += lineText(i) + u"\n";
  PageLines lines;
  lines.SetPageText(text);
  ASSERT_EQ(lines.GetLineCount(), 100000);
  for (int i : {0, 1, 6, 7, 99998, 99999}) {
    EXPECT_EQ(lines.GetLine(i), lineText(i)) << i;
  }
}

}  // namespace
}  // namespace qelo
