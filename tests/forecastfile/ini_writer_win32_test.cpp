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
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    EXPECT_EQ(ReadProfileString(kForecastSection, std::u16string(kForecastKeys[i]), PathText(file)),
              values[i])
        << i;
  }
  // The keys stand in the order of writing, right under the section line.
  std::u16string text(reinterpret_cast<const char16_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  std::size_t at = text.find(u"[qelo]");
  ASSERT_NE(at, std::u16string::npos);
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    const std::size_t next = text.find(std::u16string(kForecastKeys[i]) + u"=" + values[i], at);
    ASSERT_NE(next, std::u16string::npos) << i;
    at = next;
  }
}

TEST_F(IniWriterTest, FailureOnALaterKeyKeepsTheKeysBeforeItNewAndTheRestOld) {
  IniWriter writer(PathText(file_));
  test::ProtectingBeforeKey protecting(writer, file_, kTodayWeatherKey);
  EXPECT_THROW(test::WriteRun(protecting, test::FixedRun()), Failure);
  const RunValues fresh = test::FixedRun();
  const RunValues old = test::PreviousRun();
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    EXPECT_EQ(
        ReadProfileString(kForecastSection, std::u16string(kForecastKeys[i]), PathText(file_)),
        i < 6 ? fresh[i] : old[i])
        << i;
  }
}

}  // namespace
}  // namespace qelo
