// The run of the main window through a recording stand-in for its environment, with its
// watchdog on the thread's own queue: which steps happen, in which order, and how each path ends.

#include "app/frm_main.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/text.h"
#include "forecastfile/forecast_keys.h"
#include "platform/message_loop.h"
#include "platform/module_path.h"
#include "platform/window_timer.h"

namespace qelo {
namespace {

const std::u16string kFuzhouAddress = u"http://www.weather.com.cn/weather/101230101.shtml";
const std::u16string kPluginDirectory = std::u16string(u"Plugins") + platform::kPathSeparator;

// The watchdog of the tests that let it fire.
constexpr std::uint32_t kShortWatchdog = 20;

class FakeRunServices final : public RunServices {
 public:
  std::function<std::u16string()> argument = [] { return std::u16string(u"福州"); };
  std::u16string executablePath = kPluginDirectory + u"QeloWeather.EXE";
  std::function<void(ResponseBuffer&)> fetch = [](ResponseBuffer& buffer) {
    const std::string page = "<html>\n</html>\n";
    buffer.Append(reinterpret_cast<const std::uint8_t*>(page.data()), page.size());
  };
  std::function<void(const std::u16string& key)> write = [](const std::u16string&) {};
  std::function<void()> whileReportIsUp = [] {};
  platform::LocalDateTime now{2014, 9, 16, 8, 5, 9, 0};

  std::vector<std::string> log;  // every call, in order

  std::u16string CityArgument() override { return argument(); }
  void RequestEnd() noexcept override {
    log.push_back("end");
    if (dispatching_) platform::PostQuit();
  }
  std::unique_ptr<PageFetcher> CreateHttpClient() override {
    return std::make_unique<Client>(*this);
  }
  std::u16string ExecutablePath() override { return executablePath; }
  std::unique_ptr<ForecastFile> OpenForecastFile(const std::u16string& path) override {
    log.push_back("open " + ToUtf8(path));
    return std::make_unique<File>(*this);
  }
  platform::LocalDateTime LocalNow() override { return now; }
  void ShowFailureReport(const FailureReport& report) override {
    log.push_back("report " + ToUtf8(report.title) + " | " + ToUtf8(report.text));
    whileReportIsUp();
  }

  // Dispatches the thread's messages, the watchdog's among them, as the message loop does,
  // until the run asks for the end (at most 10 s).
  void DispatchUntilEnd() {
    bool late = false;
    platform::WindowTimer backstop([&] {
      late = true;
      platform::PostQuit();
    });
    backstop.Start(10000);
    dispatching_ = true;
    platform::RunMessageLoop();
    dispatching_ = false;
    EXPECT_FALSE(late) << "nothing asked for the end";
  }

 private:
  class Client final : public PageFetcher {
   public:
    explicit Client(FakeRunServices& services) : services_(services) {}
    void FetchPage(const std::u16string& address, ResponseBuffer& buffer) override {
      services_.log.push_back("fetch " + ToUtf8(address));
      services_.fetch(buffer);
    }

   private:
    FakeRunServices& services_;
  };

  class File final : public ForecastFile {
   public:
    explicit File(FakeRunServices& services) : services_(services) {}
    void WriteString(const std::u16string& section, const std::u16string& key,
                     const std::u16string& value) override {
      services_.write(key);
      services_.log.push_back("write [" + ToUtf8(section) + "] " + ToUtf8(key) + "=" +
                              ToUtf8(value));
    }
    void Close() override { services_.log.push_back("close"); }

   private:
    FakeRunServices& services_;
  };

  bool dispatching_ = false;
};

// The update time of 2014-09-16 08:05:09 as the formats of a Chinese desktop write it.
class FixedDateTimeFormat final : public platform::DateTimeFormat {
 public:
  std::u16string ShortDate(const platform::LocalDateTime&) const override { return u"2014/9/16"; }
  std::u16string LongTime(const platform::LocalDateTime&) const override { return u"8:05:09"; }
};
const FixedDateTimeFormat kFixedFormat;

using Log = std::vector<std::string>;

std::vector<std::string> Writes(const Log& log) {
  std::vector<std::string> writes;
  for (const auto& entry : log) {
    if (entry.rfind("write ", 0) == 0) writes.push_back(entry);
  }
  return writes;
}

TEST(FrmMainRun, WithoutCityEndsAtOnceWithEmptyCityField) {
  FakeRunServices services;
  services.argument = [] { return std::u16string(); };
  TFrmMain form(services, kFixedFormat, kWatchdogInterval);
  EXPECT_EQ(form.edtCityName.GetText(), u"");  // the stored 福州 is no default
  EXPECT_EQ(form.edtJsonURL.GetText(), u"");
  EXPECT_EQ(form.mmow.GetLine(0), u"mmow");
  EXPECT_EQ(form.mmow.GetLineCount(), 1);
  EXPECT_FALSE(form.tmr1.Running());
  EXPECT_EQ(services.log, Log({"end"}));
}

TEST(FrmMainRun, UnknownCityEndsWithoutFetchOrFile) {
  for (const char16_t* city : {u"火星", u"福 州", u"福\"州", u"ab cd"}) {
    SCOPED_TRACE(ToUtf8(city));
    FakeRunServices services;
    services.argument = [&] { return std::u16string(city); };
    TFrmMain form(services, kFixedFormat, kWatchdogInterval);
    EXPECT_EQ(form.edtCityName.GetText(), city);
    EXPECT_EQ(form.edtJsonURL.GetText(), u"(未知城市)");
    EXPECT_EQ(form.mmow.GetLine(0), u"mmow");
    EXPECT_FALSE(form.tmr1.Running());
    EXPECT_EQ(services.log, Log({"end"}));
  }
}

TEST(FrmMainRun, FoundCityRunsEveryStepInOrderAndEndsAfterClosing) {
  FakeRunServices services;
  TFrmMain form(services, kFixedFormat, kWatchdogInterval);

  EXPECT_EQ(form.edtCityName.GetText(), u"福州");
  EXPECT_EQ(form.edtJsonURL.GetText(), kFuzhouAddress);
  EXPECT_TRUE(form.tmr1.Running());
  EXPECT_EQ(form.mmow.GetLineCount(), 2);
  EXPECT_EQ(form.mmow.GetLine(0), u"<html>");

  ASSERT_GE(services.log.size(), 5u);
  EXPECT_EQ(services.log[0], "fetch " + ToUtf8(kFuzhouAddress));
  EXPECT_EQ(services.log[1], "open " + ToUtf8(kPluginDirectory) + "qeloweather.ini");
  EXPECT_EQ(services.log[2], "write [qelo] 更新时间=2014/9/16 8:05:09");
  EXPECT_EQ(services.log[services.log.size() - 2], "close");
  EXPECT_EQ(services.log.back(), "end");

  const auto writes = Writes(services.log);
  ASSERT_EQ(writes.size(), kForecastKeys.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].rfind("write [qelo] " + ToUtf8(kForecastKeys[i]) + "=", 0), 0u)
        << writes[i];
  }
  EXPECT_EQ(writes[5], "write [qelo] 城市=福州");
  EXPECT_EQ(services.log.size(), 2 + writes.size() + 2);
}

struct FailureAfterArming {
  const char* name;
  std::u16string message;
  std::u16string shown;
  bool failInFetch;  // else the first write fails
};

TEST(FrmMainRun, FailureAfterArmingIsReportedAndTheWatchdogEndsTheProgram) {
  for (const auto& c : std::vector<FailureAfterArming>{
           {"host not found", u"Socket Error # 11001\r\nHost not found.",
            u"Socket Error # 11001\r\nHost not found.", true},
           {"status", u"HTTP/1.1 404 Not Found", u"HTTP/1.1 404 Not Found.", true},
           {"empty", u"", u"", true},
           {"write refused", u"Unable to write to C:\\Plugins\\qeloweather.ini",
            u"Unable to write to C:\\Plugins\\qeloweather.ini.", false},
       }) {
    SCOPED_TRACE(c.name);
    FakeRunServices services;
    if (c.failInFetch) {
      services.fetch = [&](ResponseBuffer&) { throw Failure(c.message); };
    } else {
      services.write = [&](const std::u16string&) { throw Failure(c.message); };
    }
    TFrmMain form(services, kFixedFormat, kShortWatchdog);

    EXPECT_EQ(services.log.back(), "report Qeloweather | " + ToUtf8(c.shown));
    for (const auto& entry : services.log) {
      EXPECT_NE(entry, "end");  // only the watchdog ends this run
      EXPECT_NE(entry, "close");
    }
    if (c.failInFetch) {
      EXPECT_EQ(form.mmow.GetLine(0), u"mmow");
      EXPECT_TRUE(Writes(services.log).empty());
    }
    EXPECT_TRUE(form.tmr1.Running());
    services.DispatchUntilEnd();
    EXPECT_EQ(services.log.back(), "end");
    services.DispatchUntilEnd();  // it keeps firing; asking again is harmless
    EXPECT_EQ(services.log.back(), "end");
  }
}

TEST(FrmMainRun, WatchdogDueWhileTheReportIsUpEndsFromWithinIt) {
  FakeRunServices services;
  services.fetch = [](ResponseBuffer&) { throw Failure(u"Connection Closed Gracefully."); };
  services.whileReportIsUp = [&] { services.DispatchUntilEnd(); };
  TFrmMain form(services, kFixedFormat, kShortWatchdog);
  EXPECT_EQ(services.log, Log({"fetch " + ToUtf8(kFuzhouAddress),
                               "report Qeloweather | Connection Closed Gracefully.", "end"}));
}

TEST(FrmMainRun, FailureBeforeArmingEndsOnceReported) {
  FakeRunServices services;
  services.argument = []() -> std::u16string { throw std::bad_alloc(); };
  TFrmMain form(services, kFixedFormat, kShortWatchdog);
  EXPECT_FALSE(form.tmr1.Running());
  EXPECT_EQ(services.log, Log({"report Qeloweather | Out of memory.", "end"}));
}

}  // namespace
}  // namespace qelo
