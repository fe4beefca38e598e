#include "app/failure_report.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "core/failure.h"
#include "tests/support/text_cases.h"

namespace qelo {
namespace {

std::u16string TextOf(std::exception_ptr failure) {
  return ReportOf(std::move(failure), u"qeloweather").text;
}

TEST(FailureReport, TextAppendsAFullStopOnlyAfterCharactersAboveIt) {
  const auto textOf = [](const std::u16string& message) {
    return TextOf(std::make_exception_ptr(Failure(message)));
  };
  for (const std::u16string message :
       {u"Socket Error # 10061", u"Connection refused", u"HTTP/1.1 404 Not Found", u"无法连接",
        u"a/", u"a:", u"a\u3002"}) {
    EXPECT_EQ(textOf(message), message + u".") << ToUtf8(message);
  }
  for (const std::u16string message : {u"", u"Done.", u"Failed!", u"(10060)", u"x\"", u"x'", u"a,",
                                       u"a-", u"Line\r\n", u"trailing ", u"tab\t", u".", u"!"}) {
    EXPECT_EQ(textOf(message), message) << ToUtf8(message);
  }
}

TEST(FailureReport, TextOfFailuresThatAreNoFailureOfTheRun) {
  EXPECT_EQ(TextOf(std::make_exception_ptr(std::bad_alloc())), u"Out of memory.");
  EXPECT_EQ(TextOf(std::make_exception_ptr(std::runtime_error("locale data damaged"))),
            u"locale data damaged.");
  EXPECT_EQ(TextOf(std::make_exception_ptr(42)), u"Unknown failure.");
}

TEST(FailureReport, TitleIsTheFileNameBeforeItsFirstFullStopInLowerCaseAfterTheFirstCharacter) {
  const test::TextCase cases[] = {
      {u"WEATHER.EXE", u"Weather"},
      {u"MyWeather.Plugin.exe", u"Myweather"},
      {u"C:\\Program Files\\Host.Plugins\\QELOWEATHER.exe", u"Qeloweather", u'\\'},
      {u"/usr/local/bin/qeloweather", u"qeloweather", u'/'},
      {u"/opt/v1.2/QW", u"Qw", u'/'},
      {u"C:\\dir\\qeloWeather", u"qeloweather", u'\\'},
      {u"C:/dir\\Weather.exe", u"Weather", u'\\'},
      {u"/a\\b/Weather.exe", u"Weather", u'/'},
      {u"weather.exe", u"weather"},
      {u"天气预报.exe", u"天气预报"},
      {u"X.exe", u"X"},
      {u".hidden", u""},
      {u"C:\\dir\\", u"", u'\\'},
      {u"/home/me/", u"", u'/'},
      {u"", u""},
  };
  test::ExpectEachText(cases, [](const std::u16string& path) {
    return ReportOf(std::make_exception_ptr(Failure(u"x")), path).title;
  });
}

}  // namespace
}  // namespace qelo
