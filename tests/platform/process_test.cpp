#include "platform/process.h"

#include <gtest/gtest.h>

#include "tests/support/text_cases.h"

namespace qelo::platform {
namespace {

TEST(LowerCase, LowersLettersAndKeepsEverythingElse) {
  const test::TextCase cases[] = {
      {u"", u""},
      {u"WEATHER", u"weather"},
      {u"MyWeather-2.EXE", u"myweather-2.exe"},
      {u"ÄÖÜ ÀÉ", u"äöü àé"},
      {u"ПОГОДА", u"погода"},
      {u"福州 天气 123 !@[]", u"福州 天气 123 !@[]"},
      {u"\U0001F600Z", u"\U0001F600z"},
      {std::u16string(u"A\0B", 3), std::u16string(u"a\0b", 3)},
      // Unpaired surrogates stay as they are.
      {{char16_t{0xDC00}, u'Q', char16_t{0xD800}}, {char16_t{0xDC00}, u'q', char16_t{0xD800}}},
  };
  test::ExpectEachText(cases, [](const std::u16string& text) { return LowerCase(text); });
}

}  // namespace
}  // namespace qelo::platform
