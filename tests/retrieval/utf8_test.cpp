#include "retrieval/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/text.h"

#include "tests/support/case_name.h"

namespace qelo {
namespace {

struct IllFormedCase {
  const char* name;
  std::string bytes;
};

class IllFormedUtf8 : public ::testing::TestWithParam<IllFormedCase> {};

// Every class of ill-formed input, alone and at every position of a long ASCII text, so that
// the bulk ASCII path cannot skip it.
TEST_P(IllFormedUtf8, GivesTheEmptyTextWherever) {
  const std::string& bad = GetParam().bytes;
  EXPECT_EQ(DecodeUtf8Strict(bad), u"");
  const std::string ascii(40, 'a');
  for (std::size_t at = 0; at <= ascii.size(); ++at) {
    const std::string text = ascii.substr(0, at) + bad + ascii.substr(at);
    ASSERT_EQ(DecodeUtf8Strict(text), u"") << "at " << at;
  }
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
INSTANTIATE_TEST_SUITE_P(Classes, IllFormedUtf8, ::testing::ValuesIn(kClasses), test::CaseName);

TEST(WellFormedUtf8, KeepsEveryCharacter) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) EXPECT_EQ(DecodeUtf8Strict(c.bytes), c.text) << c.bytes;
}

TEST(WellFormedUtf8, LongAsciiAroundMultibyteCharacters) {
  std::string bytes;
  std::u16string text;
  for (int i = 0; i < 100; ++i) {
    bytes += std::string(static_cast<std::size_t>(i % 37), 'x') + "\xE6\x99\xB4";
    text += std::u16string(static_cast<std::size_t>(i % 37), u'x') + u"晴";
  }
  EXPECT_EQ(DecodeUtf8Strict(bytes), text);
}

// The lenient decoder keeps each ill-formed byte as a lone low surrogate U+DC80..U+DCFF.
bool HasEscapedByte(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool paired = i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    if (text[i] >= 0xDC80 && text[i] <= 0xDCFF && !paired) return true;
  }
  return false;
}

// Random bytes drawn mostly from the interesting ranges, so that both well-formed and
// ill-formed strings come up often.
std::string RandomBytes(std::mt19937& random) {
  static const std::uint8_t kPieces[] = {'a',  '<',  0x00, 0x7F, 0x80, 0x8F, 0x9F, 0xA0,
                                         0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xE4, 0xED, 0xEF,
                                         0xF0, 0xF4, 0xF5, 0xFF, 0xBB, 0xBD, 0x90, 0xB8};
  std::uniform_int_distribution<std::size_t> length(0, 24);
  std::uniform_int_distribution<std::size_t> piece(0, sizeof kPieces - 1);
  std::string bytes;
  const std::size_t count = length(random);
  for (std::size_t i = 0; i < count; ++i)
    bytes.push_back(static_cast<char>(kPieces[piece(random)]));
  return bytes;
}

// A well-formed sequence of random code points, encoded by the platform's encoder.
std::string RandomWellFormed(std::mt19937& random) {
  std::uniform_int_distribution<std::uint32_t> codePoint(0, 0x10FFFF);
  std::u16string text;
  for (int i = 0; i < 12; ++i) {
    std::uint32_t cp = codePoint(random);
    if (i % 3 == 0) cp &= 0x7F;
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
    if (cp < 0x10000) {
      text.push_back(static_cast<char16_t>(cp));
    } else {
      text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  return ToUtf8(text);
}

// Checked against the platform's lenient decoder, which keeps each ill-formed byte as a lone
// low surrogate: the input is well-formed exactly when no such escape comes out, and then both
// decoders agree.
TEST(StrictDecoder, AgreesWithTheLenientDecoderOnRandomInput) {
  std::mt19937 random(20261209);
  int wellFormed = 0;
  int illFormed = 0;
  for (int i = 0; i < 6000; ++i) {
    const std::string bytes = i % 2 == 0 ? RandomBytes(random) : RandomWellFormed(random);
    const std::u16string lenient = FromUtf8(bytes);
    const bool valid = !HasEscapedByte(lenient);
    const std::u16string strict = DecodeUtf8Strict(bytes);
    if (valid) {
      ++wellFormed;
      ASSERT_EQ(strict, lenient) << i;
    } else {
      ++illFormed;
      ASSERT_EQ(strict, u"") << i;
    }
  }
  EXPECT_GT(wellFormed, 3000);
  EXPECT_GT(illFormed, 1000);
}

}  // namespace
}  // namespace qelo
