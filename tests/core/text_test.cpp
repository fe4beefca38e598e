#include "core/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/case_name.h"

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

// The page text's strict decoding: every class of ill-formed input gives the empty text.
struct IllFormedCase {
  const char* name;
  std::string bytes;
};

class StrictDecodingOfIllFormed : public ::testing::TestWithParam<IllFormedCase> {};

TEST_P(StrictDecodingOfIllFormed, GivesTheEmptyText) {
  EXPECT_EQ(DecodeUtf8Strict(GetParam().bytes), u"");
  EXPECT_EQ(DecodeUtf8Strict("abc" + GetParam().bytes + "def"), u"");
}

const IllFormedCase kClasses[] = {
    {"StrayContinuation", "\x80"},
    {"StrayLastContinuation", "\xBF"},
    {"OverlongTwoByteC0", "\xC0\xAF"},
    {"OverlongTwoByteC1", "\xC1\xBF"},
    {"TruncatedTwoByte", "\xC3"},
    {"TwoByteWithoutContinuation", "\xC3("},
    {"OverlongThreeByte", "\xE0\x80\xAF"},
    {"OverlongThreeByteHighest", "\xE0\x9F\xBF"},
    {"SurrogateLow", "\xED\xA0\x80"},
    {"SurrogateHigh", "\xED\xBF\xBF"},
    {"TruncatedThreeByte", "\xE4\xB8"},
    {"ThreeByteBrokenThird", "\xE4\xB8\xC0"},
    {"OverlongFourByte", "\xF0\x8F\xBF\xBF"},
    {"AboveUnicodeF4", "\xF4\x90\x80\x80"},
    {"LeadF5", "\xF5\x80\x80\x80"},
    {"LeadFF", "\xFF"},
    {"TruncatedFourByte", "\xF0\x9F\x98"},
    {"FourByteBrokenSecond", "\xF0(\x98\x80"},
    {"Gb2312", "\xB8\xA3\xD6\xDD"},
};
INSTANTIATE_TEST_SUITE_P(Classes, StrictDecodingOfIllFormed, ::testing::ValuesIn(kClasses),
                         test::CaseName);

// Well-formed text decodes alike under both policies.
TEST(TextConversion, WellFormedTextKeepsEveryCharacterUnderBothPolicies) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"", u""},
      {"\xEF\xBB\xBFhi", u"\uFEFFhi"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\xF0\x9F\x8C\xA7", u"\U0001F327"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\xF0\x90\x80\x80", u"\U00010000"},
      {"\xC2\x80\xDF\xBF", u"\u0080\u07FF"},
      {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", u"\u0800\uD7FF\uE000\uFFFF"},
      {"\xEF\xBF\xBD", u"\uFFFD"},
      {"\xE7\xA6\x8F\xE5\xB7\x9E 16\xE2\x84\x83/9\xE2\x84\x83 \xE6\x99\xB4", u"福州 16℃/9℃ 晴"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeUtf8Strict(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
  }
}

}  // namespace
}  // namespace qelo
