// The POSIX build's own private-profile service: its INI editing rules one write at a time, and a
// whole run against a golden file (the .in.ini given the fixed run's 17 keys must become the
// .out.ini). A first run into no file, and runs broken at each call, are fault_sweep.py's.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "forecastfile/ini_edit.h"
#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

TEST(IniEditTest, AppliesEachRule) {
  const char16_t loneSurrogates[] = {0xD83D, u'|', 0xDC80, 0};
  const struct {
    const char* rule;
    std::string before;
    std::u16string key, value;
    std::string after;
  } cases[] = {
      {"EmptyFile", "", u"城市", u"福州", "[qelo]\n城市=福州\n"},
      {"ByteOrderMarkOnly", "\xEF\xBB\xBF", u"a", u"1", "\xEF\xBB\xBF[qelo]\na=1\n"},
      {"ByteOrderMarkIsKept", "\xEF\xBB\xBF[qelo]\nver=0.9\n", u"ver", u"1.0",
       "\xEF\xBB\xBF[qelo]\nver=1.0\n"},
      {"KeyIsNotAPrefixMatch", "[qelo]\n今天情况=晴\n", u"今天", u"16日",
       "[qelo]\n今天情况=晴\n今天=16日\n"},
      {"BlanksAroundNamesAreIgnoredAndKept", "[qelo]\n  城市 = 北京 \n", u"城市", u"福州",
       "[qelo]\n  城市 =福州\n"},
      {"ValueWithEqualsSignsIsReplacedWhole", "[qelo]\na=b=c\n", u"a", u"x=y", "[qelo]\na=x=y\n"},
      {"EmptyValueReplacesAValue", "[qelo]\n今天情况=晴\n", u"今天情况", u"",
       "[qelo]\n今天情况=\n"},
      {"EmptyValueIsAppended", "[qelo]\n", u"后天", u"", "[qelo]\n后天=\n"},
      {"EntryWithoutEqualsSign", "[qelo]\nver\n", u"VER", u"1.0", "[qelo]\nver=1.0\n"},
      {"KeyKeepsItsOwnSpelling", "[qelo]\nVER=0.9\n城市=北京\n", u"ver", u"1.0",
       "[qelo]\nVER=1.0\n城市=北京\n"},
      {"SectionComparesWithoutCaseOrBlanks", "[other]\nx=1\n[ QELO ]\n城市=北京\n", u"ver", u"1.0",
       "[other]\nx=1\n[ QELO ]\n城市=北京\nver=1.0\n"},
      {"FirstSectionOfANameCounts", "[qelo]\n城市=北京\n[x]\n[qelo]\nver=0.8\n", u"ver", u"1.0",
       "[qelo]\n城市=北京\nver=1.0\n[x]\n[qelo]\nver=0.8\n"},
      {"CommentNamedLikeTheKeyIsNoEntry", "[qelo]\n;ver=0.9\n", u"ver", u"1.0",
       "[qelo]\nver=1.0\n;ver=0.9\n"},
      {"NewKeyGoesBeforeTrailingCommentsAndBlankLines",
       "[qelo]\n城市=北京\n; 城市=comment\n\n; next\n[other]\nz=3\n", u"ver", u"1.0",
       "[qelo]\n城市=北京\nver=1.0\n; 城市=comment\n\n; next\n[other]\nz=3\n"},
      {"SectionLineWithBlanks", "  [ qelo ]  \r\nx=1\r\n", u"y", u"2",
       "  [ qelo ]  \r\nx=1\r\ny=2\r\n"},
      {"CrLfFileKeepsItsLineEnds", "[qelo]\r\n城市=北京\r\n\r\n[other]\r\nx=1\r\n", u"ver", u"1.0",
       "[qelo]\r\n城市=北京\r\nver=1.0\r\n\r\n[other]\r\nx=1\r\n"},
      {"UnclosedBracketIsNoSection", "[qelo\n", u"a", u"1", "[qelo\n[qelo]\na=1\n"},
      {"FirstLineEndDecidesTheStyle", "[x]\r\nb=1\n", u"a", u"1", "[x]\r\nb=1\n[qelo]\r\na=1\r\n"},
      {"LastLineWithoutLineEndGetsOne", "[qelo]\n城市=北京", u"ver", u"1.0",
       "[qelo]\n城市=北京\nver=1.0\n"},
      {"MissingSectionIsAppended", "[host]\nx=1", u"城市", u"福州",
       "[host]\nx=1\n[qelo]\n城市=福州\n"},
      {"NonAsciiNamesCompareExactly", "[qelo]\nÄ=1\n", u"ä", u"2", "[qelo]\nÄ=1\nä=2\n"},
      {"BytesAfterTheLineStay", "[qelo]\nx=1\r\n\t; tail\n", u"x", u"2",
       "[qelo]\nx=2\r\n\t; tail\n"},
      {"LoneSurrogatesAreWrittenAsReplacementCharacters", "", u"今天", loneSurrogates,
       "[qelo]\n今天=\xEF\xBF\xBD|\xEF\xBF\xBD\n"},
      {"LoneCrEndsLinesAndIsKept", "[host]\rx=1\r[qelo]\r城市=北京\r[other]\r", u"城市", u"福州",
       "[host]\rx=1\r[qelo]\r城市=福州\r[other]\r"},
      {"LoneCrFileTakesCrForNewLines", "; c\r[qelo]\ra=1", u"b", u"2", "; c\r[qelo]\ra=1\rb=2\r"},
      {"MixedLineEndsAreEachKept", "[qelo]\ra=1\r\nb=2\nc=3\r", u"b", u"9",
       "[qelo]\ra=1\r\nb=9\nc=3\r"},
      {"ManyEmptyLinesBeforeTheSection", std::string(1 << 20, '\n') + "[qelo]", u"a", u"1",
       std::string(1 << 20, '\n') + "[qelo]\na=1\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplyIniWrite(c.before, u"qelo", c.key, c.value), c.after) << c.rule;
  }
  // A file in UTF-16 (as the Windows build writes it) gets no UTF-8 lines: it is refused.
  for (const std::string& utf16 :
       {std::string("\xFF\xFE[\0q\0", 6), std::string("\xFE\xFF\0[", 4)}) {
    EXPECT_EQ(ApplyIniWrite(utf16, u"qelo", u"a", u"1"), std::nullopt);
  }
}

// A complete run over the file of an earlier run with lines of the host's own.
TEST(GoldenFileTest, RunLeavesExactlyTheExpectedBytes) {
  const std::string golden = std::string(QELO_GOLDEN_DIR) + "/full_section";
  test::ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  std::filesystem::copy_file(golden + ".in.ini", file);
  IniWriter writer(test::PathText(file));
  test::WriteRunAndClose(writer, test::FixedRun());
  EXPECT_EQ(test::ReadBytes(file), test::ReadBytes(golden + ".out.ini"));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"qeloweather.ini"});
}

}  // namespace
}  // namespace qelo
