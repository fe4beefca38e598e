// The INI writer over the platform's own private-profile service: what a refused write reports
// and what it leaves in the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "core/failure.h"
#include "forecastfile/forecast_keys.h"
#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/forecastfile/ini_writer_fixture.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

using test::IniWriterTest;
using test::PathText;

TEST_F(IniWriterTest, ReadOnlyFileRefusesTheFirstWriteAndKeepsEveryByte) {
  const std::string before = test::ReadBytes(file_);
  const auto modified = std::filesystem::last_write_time(file_);
  test::MakeReadOnly(file_);
  IniWriter writer(PathText(file_));

  EXPECT_EQ(Message([&] { test::WriteRun(writer, test::FixedRun()); }),
            u"Unable to write to " + PathText(file_));
  EXPECT_EQ(test::ReadBytes(file_), before);
  EXPECT_EQ(std::filesystem::last_write_time(file_), modified);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(IniWriterTest, OpeningTouchesNothing) {
  const std::filesystem::path missing = scratch_.File("absent") / "qeloweather.ini";
  IniWriter writer(PathText(missing));
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
  EXPECT_EQ(Message([&] { writer.WriteString(kForecastSection, kCityKey, u"福州"); }),
            u"Unable to write to " + PathText(missing));
}

}  // namespace
}  // namespace qelo
