#include "platform/commandline.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace qelo::platform {
namespace {

TEST(JoinCommandLine, QuotesOnlyArgumentsThatAreEmptyOrHoldSeparators) {
  struct Case {
    std::vector<std::u16string> args;
    std::u16string line;
  } cases[] = {
      {{}, u""},
      {{u"qeloweather"}, u"qeloweather"},
      {{u"qeloweather", u"福州"}, u"qeloweather 福州"},
      {{u"/opt/my apps/qeloweather", u"福州"}, u"\"/opt/my apps/qeloweather\" 福州"},
      {{u"prog", u"福 州"}, u"prog \"福 州\""},
      {{u"prog", u"a\tb"}, u"prog \"a\tb\""},
      {{u"prog", u"a\nb", u"c\x01"}, u"prog \"a\nb\" \"c\x01\""},
      {{u"prog", u""}, u"prog \"\""},
      {{u"prog", u"", u"x"}, u"prog \"\" x"},
      {{u"prog", u"C:\\dir\\", u"\x7F\u00A0\u3000"}, u"prog C:\\dir\\ \x7F\u00A0\u3000"},
      {{u"prog", u"!#$%&'()*+,-./"}, u"prog !#$%&'()*+,-./"},
  };
  for (const Case& c : cases) EXPECT_EQ(JoinCommandLine(c.args), c.line) << ToUtf8(c.line);
}

TEST(ProcessCommandLine, BeginsWithTheProgramsName) {
  const std::u16string line = ProcessCommandLine();
  EXPECT_NE(line.find(u"platform_test"), std::u16string::npos) << ToUtf8(line);
}

}  // namespace
}  // namespace qelo::platform
