// The program's outermost guard: whatever fails outside the run is reported like any other
// failure, and the program still ends with 0.
#include "app/program.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/failure.h"

namespace qelo {
namespace {

// The texts and titles shown for a run of `program`; `pathReads` counts how often the
// executable's path was asked for, since only a report needs it.
std::vector<std::u16string> ReportsOf(const std::function<void()>& program, int& pathReads) {
  std::vector<std::u16string> shown;
  const int exitCode = RunToTheEnd(
      program,
      [&](const FailureReport& report) { shown.push_back(report.title + u": " + report.text); },
      [&] {
        ++pathReads;
        return std::u16string(u"QeloWeather.exe");
      });
  EXPECT_EQ(exitCode, 0);
  return shown;
}

TEST(RunToTheEnd, ReportsAFailureOnceAndEndsWithZero) {
  int pathReads = 0;
  EXPECT_EQ(ReportsOf([] { throw Failure(u"Cannot create the application window"); }, pathReads),
            std::vector<std::u16string>{u"Qeloweather: Cannot create the application window."});
  EXPECT_EQ(pathReads, 1);
}

TEST(RunToTheEnd, ARunWithoutFailureShowsNothingAndNeverAsksForThePath) {
  bool ran = false;
  int pathReads = 0;
  EXPECT_TRUE(ReportsOf([&] { ran = true; }, pathReads).empty());
  EXPECT_TRUE(ran);
  EXPECT_EQ(pathReads, 0);
}

TEST(RunToTheEnd, AReportThatFailsItselfStillEndsWithZero) {
  const auto outOfMemory = [] { throw std::bad_alloc(); };
  EXPECT_EQ(RunToTheEnd(
                outOfMemory, [](const FailureReport&) { throw std::bad_alloc(); },
                [] { return std::u16string(u"qeloweather"); }),
            0);
  // Nor the path for its title.
  bool reported = false;
  EXPECT_EQ(RunToTheEnd(
                outOfMemory, [&](const FailureReport&) { reported = true; },
                []() -> std::u16string { throw std::bad_alloc(); }),
            0);
  EXPECT_FALSE(reported);
}

}  // namespace
}  // namespace qelo
