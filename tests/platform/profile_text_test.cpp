#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace qelo::platform {
namespace {

struct ProfileCase {
  const char* name;
  std::string before;
  std::u16string section;
  std::u16string key;
  std::u16string value;
  std::string after;
};

void PrintTo(const ProfileCase& c, std::ostream* out) { *out << c.name; }

class ProfileWriteTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileWriteTest, Applies) {
  const ProfileCase& c = GetParam();
  EXPECT_EQ(ApplyProfileWrite(c.before, c.section, c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWriteTest,
    ::testing::Values(ProfileCase{"EmptyFile", "", u"qelo", u"城市", u"福州",
                                  "[qelo]\n城市=福州\n"},
                      ProfileCase{"ByteOrderMarkOnly", "\xEF\xBB\xBF", u"qelo", u"a", u"1",
                                  "\xEF\xBB\xBF[qelo]\na=1\n"},
                      ProfileCase{"KeyIsNotAPrefixMatch", "[qelo]\n今天情况=晴\n", u"qelo", u"今天",
                                  u"16日", "[qelo]\n今天情况=晴\n今天=16日\n"},
                      ProfileCase{"BlanksAroundNamesAreIgnoredAndKept", "[qelo]\n  城市 = 北京 \n",
                                  u"qelo", u"城市", u"福州", "[qelo]\n  城市 =福州\n"},
                      ProfileCase{"ValueWithEqualsSignsIsReplacedWhole", "[qelo]\na=b=c\n", u"qelo",
                                  u"a", u"x=y", "[qelo]\na=x=y\n"},
                      ProfileCase{"EntryWithoutEqualsSign", "[qelo]\nver\n", u"qelo", u"VER",
                                  u"1.0", "[qelo]\nver=1.0\n"},
                      ProfileCase{"CommentNamedLikeTheKeyIsNoEntry", "[qelo]\n;ver=0.9\n", u"qelo",
                                  u"ver", u"1.0", "[qelo]\nver=1.0\n;ver=0.9\n"},
                      ProfileCase{"SectionLineWithBlanks", "  [ qelo ]  \r\nx=1\r\n", u"qelo", u"y",
                                  u"2", "  [ qelo ]  \r\nx=1\r\ny=2\r\n"},
                      ProfileCase{"UnclosedBracketIsNoSection", "[qelo\n", u"qelo", u"a", u"1",
                                  "[qelo\n[qelo]\na=1\n"},
                      ProfileCase{"FirstLineEndDecidesTheStyle", "[x]\r\nb=1\n", u"qelo", u"a",
                                  u"1", "[x]\r\nb=1\n[qelo]\r\na=1\r\n"},
                      ProfileCase{"NonAsciiNamesCompareExactly", "[qelo]\nÄ=1\n", u"qelo", u"ä",
                                  u"2", "[qelo]\nÄ=1\nä=2\n"},
                      ProfileCase{"BytesAfterTheLineStay", "[qelo]\nx=1\r\n\t; tail\n", u"qelo",
                                  u"x", u"2", "[qelo]\nx=2\r\n\t; tail\n"}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qelo::platform
