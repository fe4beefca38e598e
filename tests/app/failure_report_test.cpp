#include "app/failure_report.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "core/failure.h"
#include "core/text.h"
#include "platform/module_path.h"

namespace qelo {
namespace {

std::u16string TextOf(std::exception_ptr failure) {
  return ReportOf(std::move(failure), u"qeloweather").text;
}

TEST(FailureReport, TextAppendsAFullStopOnlyAfterCharactersAboveIt) {
  struct Case {
    std::u16string message, shown;
  } cases[] = {
      {u"", u""},
      {u"Socket Error # 10061", u"Socket Error # 10061."},
      {u"Connection refused", u"Connection refused."},
      {u"HTTP/1.1 404 Not Found", u"HTTP/1.1 404 Not Found."},
      {u"无法连接", u"无法连接."},
      {u"a/", u"a/."},
      {u"a:", u"a:."},
      {u"a\u3002", u"a\u3002."},
      {u"Done.", u"Done."},
      {u"Failed!", u"Failed!"},
      {u"(10060)", u"(10060)"},
      {u"x\"", u"x\""},
      {u"x'", u"x'"},
      {u"a,", u"a,"},
      {u"a-", u"a-"},
      {u"Line\r\n", u"Line\r\n"},
      {u"trailing ", u"trailing "},
      {u"tab\t", u"tab\t"},
      {u".", u"."},
      {u"!", u"!"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextOf(std::make_exception_ptr(Failure(c.message))), c.shown) << ToUtf8(c.message);
  }
}

TEST(FailureReport, TextOfFailuresThatAreNoFailureOfTheRun) {
  EXPECT_EQ(TextOf(std::make_exception_ptr(std::bad_alloc())), u"Out of memory.");
  EXPECT_EQ(TextOf(std::make_exception_ptr(std::runtime_error("locale data damaged"))),
            u"locale data damaged.");
  EXPECT_EQ(TextOf(std::make_exception_ptr(42)), u"Unknown failure.");
}

TEST(FailureReport, TitleIsTheFileNameBeforeItsFirstFullStopInLowerCaseAfterTheFirstCharacter) {
  struct Case {
    std::u16string path;
    char16_t separator;  // the build whose separator it is; 0 for both
    std::u16string title;
  } cases[] = {
      {u"WEATHER.EXE", 0, u"Weather"},
      {u"MyWeather.Plugin.exe", 0, u"Myweather"},
      {u"C:\\Program Files\\Host.Plugins\\QELOWEATHER.exe", u'\\', u"Qeloweather"},
      {u"/usr/local/bin/qeloweather", u'/', u"qeloweather"},
      {u"/opt/v1.2/QW", u'/', u"Qw"},
      {u"C:\\dir\\qeloWeather", u'\\', u"qeloweather"},
      {u"C:/dir\\Weather.exe", u'\\', u"Weather"},
      {u"/a\\b/Weather.exe", u'/', u"Weather"},
      {u"weather.exe", 0, u"weather"},
      {u"天气预报.exe", 0, u"天气预报"},
      {u"X.exe", 0, u"X"},
      {u".hidden", 0, u""},
      {u"C:\\dir\\", u'\\', u""},
      {u"/home/me/", u'/', u""},
      {u"", 0, u""},
  };
  for (const Case& c : cases) {
    if (c.separator != 0 && c.separator != platform::kPathSeparator) continue;
    EXPECT_EQ(ReportOf(std::make_exception_ptr(Failure(u"x")), c.path).title, c.title)
        << ToUtf8(c.path);
  }
}

}  // namespace
}  // namespace qelo
