#include "platform/casing.h"

#include <gtest/gtest.h>

#include "core/text.h"

namespace qelo::platform {
namespace {

TEST(LowerCase, LowersLettersAndKeepsEverythingElse) {
  struct Case {
    std::u16string text, lower;
  } cases[] = {
      {u"", u""},
      {u"WEATHER", u"weather"},
      {u"MyWeather-2.EXE", u"myweather-2.exe"},
      {u"ÄÖÜ ÀÉ", u"äöü àé"},
      {u"ПОГОДА", u"погода"},
      {u"福州 天气 123 !@[]", u"福州 天气 123 !@[]"},
      {u"\U0001F600Z", u"\U0001F600z"},
      {std::u16string(u"A\0B", 3), std::u16string(u"a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(LowerCase(c.text), c.lower) << ToUtf8(c.text);
}

TEST(LowerCase, KeepsUnpairedSurrogates) {
  const std::u16string text{char16_t{0xDC00}, u'Q', char16_t{0xD800}};
  EXPECT_EQ(LowerCase(text), (std::u16string{char16_t{0xDC00}, u'q', char16_t{0xD800}}));
}

}  // namespace
}  // namespace qelo::platform
