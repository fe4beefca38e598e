// The program's outermost guard: whatever fails outside the run is reported like any other
// failure, and the program still ends with 0.
#include "app/program.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/failure.h"

namespace qelo {
namespace {

struct Shown {
  std::u16string text, title;
  bool operator==(const Shown&) const = default;
};

// The reports of a run; the executable's path is counted as it is asked for, since only a
// report needs it.
std::vector<Shown> ReportsOf(const std::function<void()>& program, int* pathReads = nullptr) {
  std::vector<Shown> shown;
  int reads = 0;
  const int exitCode = RunToTheEnd(
      program,
      [&](const std::u16string& text, const std::u16string& title) {
        shown.push_back({text, title});
      },
      [&] {
        ++reads;
        return std::u16string(u"C:\\Hosts\\天气\\QeloWeather.exe");
      },
      u'\\');
  EXPECT_EQ(exitCode, 0);
  if (pathReads != nullptr) *pathReads = reads;
  return shown;
}

TEST(RunToTheEnd, ReportsEveryKindOfFailureAndEndsWithZero) {
  struct Case {
    const char* name;
    std::function<void()> program;
    std::u16string text;
  } cases[] = {
      {"window refused", [] { throw Failure(u"Cannot create the application window"); },
       u"Cannot create the application window."},
      {"memory", [] { throw std::bad_alloc(); }, u"Out of memory."},
      {"other exception", [] { throw std::runtime_error("locale data damaged"); },
       u"locale data damaged."},
      {"not an exception", [] { throw 42; }, u"Unknown failure."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int pathReads = 0;
    EXPECT_EQ(ReportsOf(c.program, &pathReads), std::vector<Shown>({{c.text, u"Qeloweather"}}));
    EXPECT_EQ(pathReads, 1);
  }
}

TEST(RunToTheEnd, ARunWithoutFailureShowsNothingAndNeverAsksForThePath) {
  bool ran = false;
  int pathReads = 0;
  EXPECT_TRUE(ReportsOf([&] { ran = true; }, &pathReads).empty());
  EXPECT_TRUE(ran);
  EXPECT_EQ(pathReads, 0);
}

TEST(RunToTheEnd, AReportThatFailsItselfStillEndsWithZero) {
  const int exitCode =
      RunToTheEnd([] { throw std::bad_alloc(); },
                  [](const std::u16string&, const std::u16string&) { throw std::bad_alloc(); },
                  [] { return std::u16string(u"qeloweather"); }, u'/');
  EXPECT_EQ(exitCode, 0);
  // Nor the path for its title.
  bool reported = false;
  EXPECT_EQ(RunToTheEnd([] { throw std::bad_alloc(); },
                        [&](const std::u16string&, const std::u16string&) { reported = true; },
                        []() -> std::u16string { throw std::bad_alloc(); }, u'/'),
            0);
  EXPECT_FALSE(reported);
}

}  // namespace
}  // namespace qelo
