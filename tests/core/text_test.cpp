#include "core/text.h"

#include <gtest/gtest.h>

#include <random>

namespace qelo {
namespace {

TEST(TextConversion, RoundTripsChineseAndSupplementaryCharacters) {
  const std::string utf8 =
      "\xE7\xA6\x8F\xE5\xB7\x9E \xF0\x9F\x98\x80 \xC2\xB0"
      "C";
  const std::u16string text = u"福州 \U0001F600 °C";
  EXPECT_EQ(FromUtf8(utf8), text);
  EXPECT_EQ(ToUtf8(text), utf8);
}

TEST(TextConversion, IllFormedBytesAreKeptAsEscapesAndComeBackUnchanged) {
  struct Case {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"a\x80z", u"a\xDC80z"},                                          // stray continuation byte
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                                    // overlong
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},                          // encoded surrogate
      {"\xE7\xA6", u"\xDCE7\xDCA6"},                                    // truncated at the end
      {"/tmp/\xB8\xA3\xD6\xDD/x", u"/tmp/\xDCB8\xDCA3\xDCD6\xDCDD/x"},  // 福州 in GBK
      {"\xFF\xFE", u"\xDCFF\xDCFE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(ToUtf8(FromUtf8(c.bytes)), c.bytes) << c.bytes;
  }
}

TEST(TextConversion, EveryByteStringSurvivesTheRoundTrip) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 24);
  for (int i = 0; i < 20000; ++i) {
    std::string bytes(static_cast<std::size_t>(length(random)), '\0');
    for (char& b : bytes) b = static_cast<char>(byte(random));
    ASSERT_EQ(ToUtf8(FromUtf8(bytes)), bytes);
  }
}

TEST(TextConversion, SurrogatesThatStandForNoByteBecomeReplacementCharacters) {
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xDC7F})), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xDD00})), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace qelo
