#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace qelo::platform {
namespace {

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ReadDateTimeFormatTest, PosixLocaleGivesMonthDayYearAnd24Hours) {
  const ScopedEnvironment locale("LC_ALL", "C");
  const DateTimeFormat format = ReadDateTimeFormat();
  EXPECT_EQ(format.shortDatePattern, u"MM/dd/yy");
  EXPECT_EQ(format.dateSeparator, u"/");
  EXPECT_EQ(format.timeSeparator, u":");
  EXPECT_TRUE(format.hoursLeadingZero);
  EXPECT_FALSE(format.twelveHourClock);
  EXPECT_EQ(format.amDesignator, u"AM");
}

TEST(ReadDateTimeFormatTest, UnknownLocaleFallsBackToThePosixOne) {
  const ScopedEnvironment locale("LC_ALL", "xx_NOWHERE.UTF-8");
  EXPECT_EQ(ReadDateTimeFormat().shortDatePattern, u"MM/dd/yy");
}

}  // namespace
}  // namespace qelo::platform
