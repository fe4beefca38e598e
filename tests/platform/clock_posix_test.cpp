// The user's formats through the C library: the locale the time category resolves to, and the
// text that locale writes for a date and a time.
#include <locale.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "core/text.h"
#include "platform/clock.h"

namespace qelo::platform {
namespace {

// Sets (or, with nullptr, removes) an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(name, value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { Set(name_, old_ ? old_->c_str() : nullptr); }

 private:
  static void Set(const char* name, const char* value) {
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  const char* name_;
  std::optional<std::string> old_;
};

bool LocaleInstalled(const char* name) {
  const locale_t locale = newlocale(LC_TIME_MASK, name, nullptr);
  if (locale == nullptr) return false;
  freelocale(locale);
  return true;
}

const LocalDateTime kMorning{2014, 9, 16, 8, 5, 9, 0};
const LocalDateTime kEvening{2014, 9, 16, 20, 5, 9, 0};

std::string Formatted(const LocalDateTime& time) {
  const std::unique_ptr<Clock> format = SystemClock();
  return ToUtf8(format->ShortDate(time)) + " " + ToUtf8(format->LongTime(time));
}

struct LocaleCase {
  const char* locale;
  const char* morning;
  const char* evening;
};

class LocaleFormatTest : public ::testing::TestWithParam<LocaleCase> {};

// The texts `date +'%x %X'` prints for these locales; a locale the machine lacks is skipped.
TEST_P(LocaleFormatTest, WritesTheDateAndTheTimeAsTheLocaleDoes) {
  const LocaleCase& c = GetParam();
  if (!LocaleInstalled(c.locale)) GTEST_SKIP() << c.locale << " is not installed";
  const ScopedEnvironment all("LC_ALL", c.locale);
  EXPECT_EQ(Formatted(kMorning), c.morning);
  EXPECT_EQ(Formatted(kEvening), c.evening);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleFormatTest,
    ::testing::ValuesIn(std::vector<LocaleCase>{
        {"C", "09/16/14 08:05:09", "09/16/14 20:05:09"},
        {"zh_CN.UTF-8", "2014年09月16日 08时05分09秒", "2014年09月16日 20时05分09秒"},
        {"ja_JP.UTF-8", "2014年09月16日 08時05分09秒", "2014年09月16日 20時05分09秒"},
        {"ko_KR.UTF-8", "2014년 09월 16일 08시 05분 09초", "2014년 09월 16일 20시 05분 09초"},
        {"de_DE.UTF-8", "16.09.2014 08:05:09", "16.09.2014 20:05:09"},
        {"en_US.UTF-8", "09/16/2014 08:05:09 AM", "09/16/2014 08:05:09 PM"}}),
    [](const auto& info) {
      std::string name = info.param.locale;
      std::replace_if(
          name.begin(), name.end(), [](char c) { return c == '.' || c == '-'; }, '_');
      return name;  // zh_CN_UTF_8
    });

// The C library's order: LC_ALL over LC_TIME over LANG; an empty variable does not count.
TEST(SystemClockFormatTest, TakesTheTimeCategoryInTheLibrarysOrder) {
  if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  const char* const german = "16.09.2014 08:05:09";
  const struct {
    const char *all, *time, *lang, *expected;  // nullptr: the variable is not set
  } cases[] = {
      {nullptr, "de_DE.UTF-8", "C", german},
      {"", nullptr, "de_DE.UTF-8", german},
      {"C", "de_DE.UTF-8", nullptr, "09/16/14 08:05:09"},
  };
  for (const auto& c : cases) {
    const ScopedEnvironment all("LC_ALL", c.all), time("LC_TIME", c.time), lang("LANG", c.lang);
    EXPECT_EQ(Formatted(kMorning), c.expected)
        << (c.all ? c.all : "-") << " " << (c.time ? c.time : "-");
  }
}

TEST(SystemClockFormatTest, UnknownLocaleFallsBackToThePosixOne) {
  const ScopedEnvironment locale("LC_ALL", "xx_NOWHERE.UTF-8");
  EXPECT_EQ(Formatted(kMorning), "09/16/14 08:05:09");
}

TEST(SystemClockFormatTest, FormatsAreReadOnceAtTheStart) {
  if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  const ScopedEnvironment locale("LC_ALL", "de_DE.UTF-8");
  const std::unique_ptr<Clock> format = SystemClock();
  const ScopedEnvironment later("LC_ALL", "C");
  EXPECT_EQ(ToUtf8(format->ShortDate(kMorning)), "16.09.2014");
}

}  // namespace
}  // namespace qelo::platform
