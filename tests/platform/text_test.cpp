#include "platform/text.h"

#include <gtest/gtest.h>

namespace qelo::platform {
namespace {

TEST(PlatformText, RoundTripsChineseAndSupplementaryCharacters) {
  const std::string utf8 = "\xE7\xA6\x8F\xE5\xB7\x9E \xF0\x9F\x98\x80 \xC2\xB0" "C";
  const std::u16string text = u"福州 \U0001F600 °C";
  EXPECT_EQ(FromUtf8(utf8), text);
  EXPECT_EQ(ToUtf8(text), utf8);
}

TEST(PlatformText, IllFormedBytesBecomeReplacementCharacters) {
  struct Case {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"a\x80z", u"a\uFFFDz"},             // stray continuation byte
      {"\xC0\xAF", u"\uFFFD\uFFFD"},       // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xE7\xA6", u"\uFFFD\uFFFD"},       // truncated at the end
  };
  for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
}

TEST(PlatformText, UnpairedSurrogateBecomesReplacementCharacter) {
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace qelo::platform
