// The INI writer over the platform's own private-profile service: what a refused write reports
// and what it leaves in the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "forecastfile/forecast_keys.h"
#include "forecastfile/ini_writer.h"
#include "platform/failure.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/forecastfile/ini_writer_fixture.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

using testing::IniWriterTest;
using testing::PathText;

TEST_F(IniWriterTest, ReadOnlyFileRefusesTheFirstWriteAndKeepsEveryByte) {
  const std::string before = testing::ReadBytes(file_);
  const auto modified = std::filesystem::last_write_time(file_);
  testing::MakeReadOnly(file_);
  IniWriter writer(PathText(file_));

  EXPECT_EQ(Message([&] { testing::WriteRun(writer, testing::FixedRun()); }),
            u"Unable to write to " + PathText(file_));
  EXPECT_EQ(testing::ReadBytes(file_), before);
  EXPECT_EQ(std::filesystem::last_write_time(file_), modified);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(IniWriterTest, OpeningTouchesNothing) {
  const std::filesystem::path missing = scratch_.File("absent") / "qeloweather.ini";
  IniWriter writer(PathText(missing));
  EXPECT_EQ(writer.Path(), PathText(missing));
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
  EXPECT_EQ(Message([&] { writer.WriteString(kForecastSection, kCityKey, u"福州"); }),
            u"Unable to write to " + PathText(missing));
}

}  // namespace
}  // namespace qelo
