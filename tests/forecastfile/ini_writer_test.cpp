// The INI writer over the platform's own private-profile service: what a refused write reports
// and what it leaves in the file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "core/failure.h"
#include "forecastfile/forecast_keys.h"
#include "forecastfile/ini_writer.h"
#include "platform/file_lock.h"
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

// Runs that overlap take turns: a write waits while another writer holds the file's lock.
TEST_F(IniWriterTest, FirstWriteWaitsWhileAnotherWriterHoldsTheLock) {
  using namespace std::chrono_literals;
  std::promise<void> taken;
  std::thread other([&] {
    const platform::FileLock lock = platform::TakeFileLock(PathText(file_), 1s);
    taken.set_value();
    std::this_thread::sleep_for(300ms);
  });
  taken.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  IniWriter writer(PathText(file_));
  test::WriteRunAndClose(writer, test::FixedRun());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  other.join();
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
