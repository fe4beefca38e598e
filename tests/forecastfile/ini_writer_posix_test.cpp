// The INI writer over the POSIX service: a write refused in the middle of a run.
#include <gtest/gtest.h>

#include <string>

#include "forecastfile/forecast_keys.h"
#include "platform/text.h"
#include "tests/forecastfile/ini_writer_fixture.h"

namespace qelo {
namespace {

using test::IniWriterTest;
using test::PathText;
using test::RunValues;

TEST_F(IniWriterTest, FailureOnALaterKeyKeepsTheKeysBeforeItNewAndTheRestOld) {
  IniWriter writer(PathText(file_));
  test::ProtectingBeforeKey protecting(writer, file_, kTodayWeatherKey);
  EXPECT_EQ(Message([&] { test::WriteRun(protecting, test::FixedRun()); }),
            u"Unable to write to " + PathText(file_));

  // Keys 1 to 6 ("更新时间" to "城市") hold the new run, 7 to 17 the previous one.
  const RunValues fresh = test::FixedRun();
  const RunValues old = test::PreviousRun();
  std::string expected = "[qelo]\n";
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    expected += platform::ToUtf8(kForecastKeys[i]) + "=" +
                platform::ToUtf8(i < 6 ? fresh[i] : old[i]) + "\n";
  }
  EXPECT_EQ(test::ReadBytes(file_), expected);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

}  // namespace
}  // namespace qelo
