#include "app/command_line_argument.h"

#include <gtest/gtest.h>

#include "core/text.h"

namespace qelo {
namespace {

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

TEST(GetCommandLineArgument, TakesTheCityByTheRulesWindowsHostsStartItWith) {
  struct Case {
    std::u16string line, argument1;
  } cases[] = {
      {u"qeloweather.exe 福州", u"福州"},
      {u"\"C:\\Program Files\\My Host\\qeloweather.exe\" \"\" 福州 厦门", u"福州"},
      {u"\"C:\\Program Files\\qeloweather.exe\"", u""},
      {u"qeloweather.exe \"福 州\"", u"福 州"},
      {u"prog a\"b c\"d", u"ab cd"},
      {u"prog \"福州 unclosed", u"福州 unclosed"},
      {u"prog \"\"福州", u"福州"},
      {u"prog \"\" 福州", u"福州"},
      {u"prog \"\"\"\" \"\"  福州", u"福州"},
      {u"prog \"\"", u""},
      {u"prog \"\"   ", u""},
      {u"prog 福州 厦门", u"福州"},
      {u"prog 福州\t厦门", u"福州"},
      {u"prog", u""},
      {u"prog   \t ", u""},
      {u"", u""},
      {u"\"\"", u""},
      {u"\"\" 福州", u""},  // the pair is skipped, so 福州 is the program's name
      {u"\" \" 福州", u"福州"},
      {u"prog C:\\dir\\ x", u"C:\\dir\\"},
      {u"prog \"a\\\" b\"", u"a\\"},  // the backslash does not escape the quote
      {u"prog \u00A0\u3000\x7F", u"\u00A0\u3000\x7F"},
      {u"prog \U0001F600\\\\server\\share -o", u"\U0001F600\\\\server\\share"},
      {u"\x01prog\x1F\x02福州\x0D\x0A厦门", u"福州"},
      {u"prog \"a\tb\nc\"", u"a\tb\nc"},
      {u"prog a\"\"b", u"ab"},
      {u"prog \"\"\"福州", u"福州"},
      {u"  prog  福州", u"福州"},
      {std::u16string(u"prog\0福州", 7), u""},
      {std::u16string(u"prog 福\0州", 8), u"福"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetCommandLineArgument(c.line, 1), c.argument1) << Utf8(c.line);
  }
}

TEST(GetCommandLineArgument, OtherIndexesCountTokensTheSameWay) {
  const std::u16string line = u"\"C:\\My Apps\\qw.exe\" 福州 \"\" 厦门 \"a b\"";
  struct Case {
    int index;
    std::u16string argument;
  } cases[] = {
      {-1, u""}, {0, u"C:\\My Apps\\qw.exe"}, {1, u"福州"}, {2, u"厦门"}, {3, u"a b"}, {4, u""},
      {99, u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetCommandLineArgument(line, c.index), c.argument) << c.index;
  // An empty token ends the reading: nothing after it is reachable.
  EXPECT_EQ(GetCommandLineArgument(u"prog \" \"x", 1), u" x");
  EXPECT_EQ(GetCommandLineArgument(u"\"\"", 0), u"");
  EXPECT_EQ(GetCommandLineArgument(u"prog \"\"", 2), u"");
}

}  // namespace
}  // namespace qelo
