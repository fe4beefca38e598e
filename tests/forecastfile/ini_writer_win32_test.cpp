// The INI writer over WritePrivateProfileStringW, read back through GetPrivateProfileStringW.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "forecastfile/forecast_keys.h"
#include "tests/forecastfile/ini_writer_fixture.h"
#include "tests/support/private_profile_reader_win32.h"

namespace qelo {
namespace {

using test::IniWriterTest;
using test::PathText;
using test::ReadProfileString;
using test::RunValues;

TEST(IniWriterWindowsTest, FirstRunCreatesAUtf16FileThatReadsBackUnchanged) {
  test::ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  IniWriter writer(PathText(file));
  test::WriteRunAndClose(writer, test::FixedRun());

  const std::string bytes = test::ReadBytes(file);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const RunValues values = test::FixedRun();
  // Each key reads back unchanged and stands in the order of writing, under the section line.
  const std::u16string text = test::Utf16Text(bytes);
  std::size_t at = text.find(u"[qelo]");
  ASSERT_NE(at, std::u16string::npos);
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    const std::u16string key(kForecastKeys[i]);
    EXPECT_EQ(ReadProfileString(kForecastSection, key, PathText(file)), values[i]) << i;
    at = text.find(key + u"=" + values[i], at);
    ASSERT_NE(at, std::u16string::npos) << i;
  }
}

// The file made read-only before "今天情况", as by a user in the middle of a run.
TEST_F(IniWriterTest, FailureOnALaterKeyKeepsTheKeysBeforeItNewAndTheRestOld) {
  IniWriter writer(PathText(file_));
  const RunValues fresh = test::FixedRun();
  const RunValues old = test::PreviousRun();
  for (std::size_t i = 0; i < 6; ++i) {
    writer.WriteString(kForecastSection, std::u16string(kForecastKeys[i]), fresh[i]);
  }
  test::MakeReadOnly(file_);
  EXPECT_THROW(writer.WriteString(kForecastSection, kTodayWeatherKey, fresh[6]), Failure);
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    EXPECT_EQ(
        ReadProfileString(kForecastSection, std::u16string(kForecastKeys[i]), PathText(file_)),
        i < 6 ? fresh[i] : old[i])
        << i;
  }
}

}  // namespace
}  // namespace qelo
