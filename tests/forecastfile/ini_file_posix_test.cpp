// The POSIX build's own private-profile service: its INI editing rules one write at a time, a
// whole run against a golden file (the .in.ini given the fixed run's 17 keys must become the
// .out.ini), and a run's keys reaching the file together or not at all. A first run into no
// file, and runs broken at each call, are fault_sweep.py's.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/text.h"
#include "forecastfile/forecast_keys.h"
#include "forecastfile/ini_edit.h"
#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/forecastfile/ini_writer_fixture.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

TEST(IniEditTest, AppliesEachRule) {
  const struct {
    const char* rule;
    std::u16string entry;  // the key and the value written, split at the first '='
    std::string before, after;
  } cases[] = {
      // clang-format off
      // Keys and values.
      {"ValueWithEqualsSignsIsReplacedWhole", u"a=x=y",
       "[qelo]\na=b=c\n", "[qelo]\na=x=y\n"},
      {"EmptyValueReplacesAValue", u"今天情况=",
       "[qelo]\n今天情况=晴\n", "[qelo]\n今天情况=\n"},
      {"EmptyValueIsAppended", u"后天=",
       "[qelo]\n", "[qelo]\n后天=\n"},
      {"EntryWithoutEqualsSign", u"VER=1.0",
       "[qelo]\nver\n", "[qelo]\nver=1.0\n"},
      {"NonAsciiNamesCompareExactly", u"ä=2",
       "[qelo]\nÄ=1\n", "[qelo]\nÄ=1\nä=2\n"},
      {"KeyIsNotAPrefixMatch", u"今天=16日",
       "[qelo]\n今天情况=晴\n", "[qelo]\n今天情况=晴\n今天=16日\n"},
      {"BlanksAroundNamesAreIgnoredAndKept", u"城市=福州",
       "[qelo]\n  城市 = 北京 \n", "[qelo]\n  城市 =福州\n"},
      {"KeyKeepsItsOwnSpelling", u"ver=1.0",
       "[qelo]\nVER=0.9\n城市=北京\n", "[qelo]\nVER=1.0\n城市=北京\n"},
      {"CommentNamedLikeTheKeyIsNoEntry", u"ver=1.0",
       "[qelo]\n;ver=0.9\n", "[qelo]\nver=1.0\n;ver=0.9\n"},
      {"LoneSurrogatesBecomeReplacementCharacters", u"今天=\xD83D|\xDC80",
       "", "[qelo]\n今天=\xEF\xBF\xBD|\xEF\xBF\xBD\n"},
      {"NewKeyGoesBeforeTrailingCommentsAndBlankLines", u"ver=1.0",
       "[qelo]\n城市=北京\n; 城市=comment\n\n; next\n[other]\nz=3\n",
       "[qelo]\n城市=北京\nver=1.0\n; 城市=comment\n\n; next\n[other]\nz=3\n"},
      // Sections.
      {"EmptyFile", u"城市=福州",
       "", "[qelo]\n城市=福州\n"},
      {"MissingSectionIsAppended", u"城市=福州",
       "[host]\nx=1", "[host]\nx=1\n[qelo]\n城市=福州\n"},
      {"UnclosedBracketIsNoSection", u"a=1",
       "[qelo\n", "[qelo\n[qelo]\na=1\n"},
      {"SectionComparesWithoutCaseOrBlanks", u"ver=1.0",
       "[other]\nx=1\n[ QELO ]\n城市=北京\n", "[other]\nx=1\n[ QELO ]\n城市=北京\nver=1.0\n"},
      {"SectionLineWithBlanks", u"y=2",
       "  [ qelo ]  \r\nx=1\r\n", "  [ qelo ]  \r\nx=1\r\ny=2\r\n"},
      {"FirstSectionOfANameCounts", u"ver=1.0",
       "[qelo]\n城市=北京\n[x]\n[qelo]\nver=0.8\n",
       "[qelo]\n城市=北京\nver=1.0\n[x]\n[qelo]\nver=0.8\n"},
      {"ManyEmptyLinesBeforeTheSection", u"a=1",
       std::string(1 << 20, '\n') + "[qelo]", std::string(1 << 20, '\n') + "[qelo]\na=1\n"},
      // Line ends.
      {"FirstLineEndDecidesTheStyle", u"a=1",
       "[x]\r\nb=1\n", "[x]\r\nb=1\n[qelo]\r\na=1\r\n"},
      {"BytesAfterTheLineStay", u"x=2",
       "[qelo]\nx=1\r\n\t; tail\n", "[qelo]\nx=2\r\n\t; tail\n"},
      {"LoneCrFileTakesCrForNewLines", u"b=2",
       "; c\r[qelo]\ra=1", "; c\r[qelo]\ra=1\rb=2\r"},
      {"CrLfFileKeepsItsLineEnds", u"ver=1.0",
       "[qelo]\r\n城市=北京\r\n\r\n[other]\r\nx=1\r\n",
       "[qelo]\r\n城市=北京\r\nver=1.0\r\n\r\n[other]\r\nx=1\r\n"},
      {"LastLineWithoutLineEndGetsOne", u"ver=1.0",
       "[qelo]\n城市=北京", "[qelo]\n城市=北京\nver=1.0\n"},
      {"LoneCrEndsLinesAndIsKept", u"城市=福州",
       "[host]\rx=1\r[qelo]\r城市=北京\r[other]\r", "[host]\rx=1\r[qelo]\r城市=福州\r[other]\r"},
      {"MixedLineEndsAreEachKept", u"b=9",
       "[qelo]\ra=1\r\nb=2\nc=3\r", "[qelo]\ra=1\r\nb=9\nc=3\r"},
      // Byte order marks.
      {"ByteOrderMarkOnly", u"a=1",
       "\xEF\xBB\xBF", "\xEF\xBB\xBF[qelo]\na=1\n"},
      {"ByteOrderMarkIsKept", u"ver=1.0",
       "\xEF\xBB\xBF[qelo]\nver=0.9\n", "\xEF\xBB\xBF[qelo]\nver=1.0\n"},
      // clang-format on
  };
  for (const auto& c : cases) {
    const std::size_t equals = c.entry.find(u'=');
    const std::u16string key = c.entry.substr(0, equals), value = c.entry.substr(equals + 1);
    EXPECT_EQ(ApplyIniWrite(c.before, u"qelo", key, value), c.after) << c.rule;
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

using test::IniWriterTest;

// Until the close the file stays as it was: a run that fails at any key, or is never closed,
// changes no byte of it.
TEST_F(IniWriterTest, KeysReachTheFileTogetherAtTheClose) {
  const std::string before = test::ReadBytes(file_);
  const test::RunValues fresh = test::FixedRun();
  {
    IniWriter unclosed(test::PathText(file_));
    test::WriteRun(unclosed, fresh);
    EXPECT_EQ(test::ReadBytes(file_), before);
  }
  EXPECT_EQ(test::ReadBytes(file_), before);
  IniWriter writer(test::PathText(file_));
  test::WriteRunAndClose(writer, fresh);
  EXPECT_NE(test::ReadBytes(file_).find("今天情况=多云转阵雨"), std::string::npos);
}

// A result above 16 MiB is refused at the key that would pass the cap, whether the file is at
// the cap already or reaches it at the ninth key: the file stays byte for byte as it was.
TEST_F(IniWriterTest, RunPassingTheCapLeavesTheFileByteForByte) {
  const test::RunValues fresh = test::FixedRun();
  std::string eightKeys = "[qelo]\n";
  for (std::size_t i = 0; i < 8; ++i) {
    eightKeys += ToUtf8(kForecastKeys[i]) + "=" + ToUtf8(fresh[i]) + "\n";
  }
  const std::size_t ninthLine = ToUtf8(kTodayWindKey + (u"=" + fresh[8])).size() + 1;
  // `text`, then a comment that makes it `size` bytes long.
  const auto filled = [](const std::string& text, std::size_t size) {
    return text + ";" + std::string(size - text.size() - 2, 'x') + "\n";
  };
  for (const std::string& bytes : {filled("[qelo]\n", kMaxForecastFileBytes),
                                   filled(eightKeys, kMaxForecastFileBytes + 1 - ninthLine)}) {
    test::WriteBytes(file_, bytes);
    IniWriter writer(test::PathText(file_));
    EXPECT_EQ(Message([&] { test::WriteRunAndClose(writer, fresh); }),
              u"Unable to write to " + test::PathText(file_));
    EXPECT_TRUE(test::ReadBytes(file_) == bytes);
  }
}

TEST_F(IniWriterTest, RefusedCommitFailsTheClose) {
  IniWriter writer(test::PathText(file_));
  test::WriteRun(writer, test::FixedRun());
  std::filesystem::remove(file_);
  std::filesystem::create_directory(file_);  // no rename replaces a folder
  EXPECT_EQ(Message([&] { writer.Close(); }), u"Unable to write to " + test::PathText(file_));
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

}  // namespace
}  // namespace qelo
