// A writer killed at random moments leaves a whole file: every key holds the value of one run
// or the other, never a torn line or a lost key.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "forecastfile/forecast_keys.h"
#include "forecastfile/ini_writer.h"
#include "platform/text.h"
#include "tests/forecastfile/alternating_runs.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

using test::ScratchDirectory;

constexpr int kKills = 100;

// Starts the child on `file` and returns once it has begun writing.
pid_t StartChild(const std::string& file) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(ready[1], STDOUT_FILENO);
    ::close(ready[0]);
    ::execl(QELO_INI_KILL_CHILD, QELO_INI_KILL_CHILD, file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(ready[1]);
  char byte = 0;
  const bool started = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  return started ? child : -1;
}

// Checks the file holds the section line and the 17 keys in order, each with a value of one of
// the two runs.
::testing::AssertionResult HoldsAWholeRun(const std::string& bytes) {
  std::istringstream lines(bytes);
  std::string line;
  if (!std::getline(lines, line) || line != "[qelo]") {
    return ::testing::AssertionFailure() << "section line: " << line;
  }
  const test::RunValues first = test::AlternatingRun(0);
  const test::RunValues second = test::AlternatingRun(1);
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    if (!std::getline(lines, line))
      return ::testing::AssertionFailure() << "line " << i << " missing";
    const std::string key = platform::ToUtf8(kForecastKeys[i]) + "=";
    if (line != key + platform::ToUtf8(first[i]) && line != key + platform::ToUtf8(second[i])) {
      return ::testing::AssertionFailure() << "line " << i << ": " << line;
    }
  }
  if (std::getline(lines, line)) return ::testing::AssertionFailure() << "extra line: " << line;
  return ::testing::AssertionSuccess();
}

class KillTest : public ::testing::TestWithParam<int> {};

TEST_P(KillTest, EveryKillLeavesAWholeFile) {
  const int signal = GetParam();
  ScratchDirectory scratch;
  const std::string file = scratch.File("qeloweather.ini").string();
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
  // A first run leaves every key, so that each later kill finds all seventeen in place.
  IniWriter first(platform::FromUtf8(file));
  test::WriteRunAndClose(first, test::AlternatingRun(0));
  int leftovers = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t child = StartChild(file);
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(HoldsAWholeRun(test::ReadBytes(file))) << "after kill " << kill;
    leftovers = std::max(leftovers, static_cast<int>(scratch.Names().size()) - 1);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(20));
  // A SIGKILL between naming the temporary file and renaming it can leave it behind, until the
  // next complete run removes it; the other signals wait until the rename is done.
  if (signal != SIGKILL) {
    EXPECT_EQ(leftovers, 0);
  }
  IniWriter last(platform::FromUtf8(file));
  test::WriteRunAndClose(last, test::AlternatingRun(1));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"qeloweather.ini"});
  std::cout << "[          ] " << kKills << " kills in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()
            << " ms, most temporary files seen at once: " << leftovers << "\n";
}

INSTANTIATE_TEST_SUITE_P(Signals, KillTest, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == SIGKILL ? "Sigkill" : "Sigterm");
                         });

}  // namespace
}  // namespace qelo
