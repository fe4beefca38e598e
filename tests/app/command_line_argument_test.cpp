#include "app/command_line_argument.h"

#include <gtest/gtest.h>

#include <span>

#include "core/text.h"

namespace qelo {
namespace {

struct Case {
  std::u16string line;
  int index;
  std::u16string argument;
};

void ExpectEach(std::span<const Case> cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(GetCommandLineArgument(c.line, c.index), c.argument)
        << ToUtf8(c.line) << " #" << c.index;
  }
}

TEST(GetCommandLineArgument, TakesTheCityByTheRulesWindowsHostsStartItWith) {
  const Case cases[] = {
      {u"qeloweather.exe 福州", 1, u"福州"},
      {u"\"C:\\Program Files\\My Host\\qeloweather.exe\" \"\" 福州 厦门", 1, u"福州"},
      {u"\"C:\\Program Files\\qeloweather.exe\"", 1, u""},
      {u"qeloweather.exe \"福 州\"", 1, u"福 州"},
      {u"prog a\"b c\"d", 1, u"ab cd"},
      {u"prog \"福州 unclosed", 1, u"福州 unclosed"},
      {u"prog \"\"福州", 1, u"福州"},
      {u"prog \"\" 福州", 1, u"福州"},
      {u"prog \"\"\"\" \"\"  福州", 1, u"福州"},
      {u"prog \"\"", 1, u""},
      {u"prog \"\"   ", 1, u""},
      {u"prog 福州 厦门", 1, u"福州"},
      {u"prog 福州\t厦门", 1, u"福州"},
      {u"prog", 1, u""},
      {u"prog   \t ", 1, u""},
      {u"", 1, u""},
      {u"\"\"", 1, u""},
      {u"\"\" 福州", 1, u""},  // the pair is skipped, so 福州 is the program's name
      {u"\" \" 福州", 1, u"福州"},
      {u"prog C:\\dir\\ x", 1, u"C:\\dir\\"},
      {u"prog \"a\\\" b\"", 1, u"a\\"},  // the backslash does not escape the quote
      {u"prog \u00A0\u3000\x7F", 1, u"\u00A0\u3000\x7F"},
      {u"prog \U0001F600\\\\server\\share -o", 1, u"\U0001F600\\\\server\\share"},
      {u"\x01prog\x1F\x02福州\x0D\x0A厦门", 1, u"福州"},
      {u"prog \"a\tb\nc\"", 1, u"a\tb\nc"},
      {u"prog a\"\"b", 1, u"ab"},
      {u"prog \"\"\"福州", 1, u"福州"},
      {u"  prog  福州", 1, u"福州"},
      {std::u16string(u"prog\0福州", 7), 1, u""},
      {std::u16string(u"prog 福\0州", 8), 1, u"福"},
  };
  ExpectEach(cases);
}

TEST(GetCommandLineArgument, OtherIndexesCountTokensTheSameWay) {
  const std::u16string line = u"\"C:\\My Apps\\qw.exe\" 福州 \"\" 厦门 \"a b\"";
  const Case cases[] = {
      {line, -1, u""},
      {line, 0, u"C:\\My Apps\\qw.exe"},
      {line, 1, u"福州"},
      {line, 2, u"厦门"},
      {line, 3, u"a b"},
      {line, 4, u""},
      {line, 99, u""},
      // An empty token ends the reading: nothing after it is reachable.
      {u"prog \" \"x", 1, u" x"},
      {u"\"\"", 0, u""},
      {u"prog \"\"", 2, u""},
  };
  ExpectEach(cases);
}

}  // namespace
}  // namespace qelo
