// The POSIX build's own private-profile service: its INI editing rules one write at a time, and
// whole runs against golden files, whose input receives the seventeen keys of the fixed run and
// must then hold exactly the bytes of its .out.ini.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "forecastfile/ini_edit.h"
#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

struct EditCase {
  const char* name;
  std::string before;
  std::u16string key;
  std::u16string value;
  std::string after;
  std::u16string section = u"qelo";
};

void PrintTo(const EditCase& c, std::ostream* out) { *out << c.name; }

class IniEditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(IniEditTest, Applies) {
  const EditCase& c = GetParam();
  EXPECT_EQ(ApplyIniWrite(c.before, c.section, c.key, c.value), c.after);
}

const char16_t kLoneSurrogates[] = {0xD83D, u'|', 0xDC80, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEditTest,
    ::testing::Values(
        EditCase{"EmptyFile", "", u"城市", u"福州", "[qelo]\n城市=福州\n"},
        EditCase{"ByteOrderMarkOnly", "\xEF\xBB\xBF", u"a", u"1", "\xEF\xBB\xBF[qelo]\na=1\n"},
        EditCase{"ByteOrderMarkIsKept", "\xEF\xBB\xBF[qelo]\nver=0.9\n", u"ver", u"1.0",
                 "\xEF\xBB\xBF[qelo]\nver=1.0\n"},
        EditCase{"KeyIsNotAPrefixMatch", "[qelo]\n今天情况=晴\n", u"今天", u"16日",
                 "[qelo]\n今天情况=晴\n今天=16日\n"},
        EditCase{"BlanksAroundNamesAreIgnoredAndKept", "[qelo]\n  城市 = 北京 \n", u"城市", u"福州",
                 "[qelo]\n  城市 =福州\n"},
        EditCase{"ValueWithEqualsSignsIsReplacedWhole", "[qelo]\na=b=c\n", u"a", u"x=y",
                 "[qelo]\na=x=y\n"},
        EditCase{"EmptyValueReplacesAValue", "[qelo]\n今天情况=晴\n", u"今天情况", u"",
                 "[qelo]\n今天情况=\n"},
        EditCase{"EmptyValueIsAppended", "[qelo]\n", u"后天", u"", "[qelo]\n后天=\n"},
        EditCase{"EntryWithoutEqualsSign", "[qelo]\nver\n", u"VER", u"1.0", "[qelo]\nver=1.0\n"},
        EditCase{"KeyKeepsItsOwnSpelling", "[qelo]\nVER=0.9\n城市=北京\n", u"ver", u"1.0",
                 "[qelo]\nVER=1.0\n城市=北京\n"},
        EditCase{"SectionComparesWithoutCaseOrBlanks", "[other]\nx=1\n[ QELO ]\n城市=北京\n",
                 u"ver", u"1.0", "[other]\nx=1\n[ QELO ]\n城市=北京\nver=1.0\n"},
        EditCase{"FirstSectionOfANameCounts", "[qelo]\n城市=北京\n[x]\n[qelo]\nver=0.8\n", u"ver",
                 u"1.0", "[qelo]\n城市=北京\nver=1.0\n[x]\n[qelo]\nver=0.8\n"},
        EditCase{"CommentNamedLikeTheKeyIsNoEntry", "[qelo]\n;ver=0.9\n", u"ver", u"1.0",
                 "[qelo]\nver=1.0\n;ver=0.9\n"},
        EditCase{"NewKeyGoesBeforeTrailingCommentsAndBlankLines",
                 "[qelo]\n城市=北京\n; 城市=comment\n\n; next\n[other]\nz=3\n", u"ver", u"1.0",
                 "[qelo]\n城市=北京\nver=1.0\n; 城市=comment\n\n; next\n[other]\nz=3\n"},
        EditCase{"SectionLineWithBlanks", "  [ qelo ]  \r\nx=1\r\n", u"y", u"2",
                 "  [ qelo ]  \r\nx=1\r\ny=2\r\n"},
        EditCase{"CrLfFileKeepsItsLineEnds", "[qelo]\r\n城市=北京\r\n\r\n[other]\r\nx=1\r\n",
                 u"ver", u"1.0", "[qelo]\r\n城市=北京\r\nver=1.0\r\n\r\n[other]\r\nx=1\r\n"},
        EditCase{"UnclosedBracketIsNoSection", "[qelo\n", u"a", u"1", "[qelo\n[qelo]\na=1\n"},
        EditCase{"FirstLineEndDecidesTheStyle", "[x]\r\nb=1\n", u"a", u"1",
                 "[x]\r\nb=1\n[qelo]\r\na=1\r\n"},
        EditCase{"LastLineWithoutLineEndGetsOne", "[qelo]\n城市=北京", u"ver", u"1.0",
                 "[qelo]\n城市=北京\nver=1.0\n"},
        EditCase{"MissingSectionIsAppended", "[host]\nx=1", u"城市", u"福州",
                 "[host]\nx=1\n[qelo]\n城市=福州\n"},
        EditCase{"NonAsciiNamesCompareExactly", "[qelo]\nÄ=1\n", u"ä", u"2", "[qelo]\nÄ=1\nä=2\n"},
        EditCase{"BytesAfterTheLineStay", "[qelo]\nx=1\r\n\t; tail\n", u"x", u"2",
                 "[qelo]\nx=2\r\n\t; tail\n"},
        EditCase{"LoneSurrogatesAreWrittenAsReplacementCharacters", "", u"今天", kLoneSurrogates,
                 "[qelo]\n今天=\xEF\xBF\xBD|\xEF\xBF\xBD\n"}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

class GoldenFileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenFileTest, RunLeavesExactlyTheExpectedBytes) {
  const std::filesystem::path golden = std::filesystem::path(QELO_GOLDEN_DIR) / GetParam();
  test::ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  if (std::filesystem::exists(golden.string() + ".in.ini")) {
    std::filesystem::copy_file(golden.string() + ".in.ini", file);
  }
  IniWriter writer(test::PathText(file));
  test::WriteRunAndClose(writer, test::FixedRun());
  EXPECT_EQ(test::ReadBytes(file), test::ReadBytes(golden.string() + ".out.ini"));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"qeloweather.ini"});
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenFileTest, ::testing::Values("no_file", "full_section"));

}  // namespace
}  // namespace qelo
