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

std::vector<Shown> ReportsOf(const std::function<void()>& program) {
  std::vector<Shown> shown;
  const int exitCode = RunToTheEnd(
      program,
      [&](const std::u16string& text, const std::u16string& title) {
        shown.push_back({text, title});
      },
      u"C:\\Hosts\\天气\\QeloWeather.exe", u'\\');
  EXPECT_EQ(exitCode, 0);
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
    EXPECT_EQ(ReportsOf(c.program), std::vector<Shown>({{c.text, u"Qeloweather"}}));
  }
}

TEST(RunToTheEnd, ARunWithoutFailureShowsNothing) {
  bool ran = false;
  EXPECT_TRUE(ReportsOf([&] { ran = true; }).empty());
  EXPECT_TRUE(ran);
}

TEST(RunToTheEnd, AReportThatFailsItselfStillEndsWithZero) {
  const int exitCode =
      RunToTheEnd([] { throw std::bad_alloc(); },
                  [](const std::u16string&, const std::u16string&) { throw std::bad_alloc(); },
                  u"qeloweather", u'/');
  EXPECT_EQ(exitCode, 0);
}

}  // namespace
}  // namespace qelo
