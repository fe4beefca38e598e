// The run of the main window with a scripted fetch and a recording output, its end request and
// its watchdog on the thread's own queue: which steps happen, in which order, and how each path
// ends.

#include "app/frm_main.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/program.h"
#include "core/failure.h"
#include "core/text.h"
#include "forecastfile/forecast_keys.h"
#include "platform/process.h"
#include "tests/support/message_loop_wait.h"

namespace qelo {
namespace {

const std::u16string kFuzhouAddress = u"http://www.weather.com.cn/weather/101230101.shtml";

// The watchdog of the tests that let it fire.
constexpr std::uint32_t kShortWatchdog = 20;

using Log = std::vector<std::string>;

// The update time as the formats of a Chinese desktop write it, at a fixed moment.
class FixedClock final : public platform::Clock {
 public:
  platform::LocalDateTime Now() const override { return {2014, 9, 16, 8, 5, 9, 0}; }
  std::u16string ShortDate(const platform::LocalDateTime&) const override { return u"2014/9/16"; }
  std::u16string LongTime(const platform::LocalDateTime&) const override { return u"8:05:09"; }
};
const FixedClock kFixedClock;

// The program's path as the run is told it.
const std::u16string kFolder = std::u16string(u"qelo") + platform::kPathSeparator;
const std::u16string kProgram = kFolder + u"QeloWeather.exe";

// The fetch, the forecast file and the report of one run, each call logged in order.
class RecordingRun final : public ForecastFiles, public FailureReporter {
 public:
  std::function<void(ResponseBuffer&)> fetch = [](ResponseBuffer& buffer) {
    const std::string page = "<html>\n</html>\n";
    buffer.Append(reinterpret_cast<const std::uint8_t*>(page.data()), page.size());
  };
  std::function<void(const std::u16string& key)> write = [](const std::u16string&) {};
  std::function<void()> whileReportIsUp = [] {};
  Log log;

  std::unique_ptr<PageFetcher> Client() { return std::make_unique<ScriptedClient>(*this); }
  RunEnvironment Environment(std::uint32_t watchdogInterval = kWatchdogInterval) {
    return {*this, *this, kFixedClock, kProgram, watchdogInterval};
  }
  std::unique_ptr<ForecastFile> Open(const std::u16string& path) override {
    log.push_back("open " + ToUtf8(path));
    return std::make_unique<File>(*this);
  }
  void Show(const FailureReport& report) override {
    log.push_back("report " + ToUtf8(report.title) + " | " + ToUtf8(report.text));
    whileReportIsUp();
  }

 private:
  class ScriptedClient final : public PageFetcher {
   public:
    explicit ScriptedClient(RecordingRun& run) : run_(run) {}
    void FetchPage(const std::u16string& address, ResponseBuffer& buffer) override {
      run_.log.push_back("fetch " + ToUtf8(address));
      run_.fetch(buffer);
    }

   private:
    RecordingRun& run_;
  };

  class File final : public ForecastFile {
   public:
    explicit File(RecordingRun& run) : run_(run) {}
    void WriteString(const std::u16string& section, const std::u16string& key,
                     const std::u16string& value) override {
      run_.write(key);
      run_.log.push_back("write [" + ToUtf8(section) + "] " + ToUtf8(key) + "=" + ToUtf8(value));
    }
    void Close() override { run_.log.push_back("close"); }

   private:
    RecordingRun& run_;
  };
};

// Only the run posts the quit message here, so the loop's end is the run's end.
using test::LoopEndsWithin;
constexpr std::uint32_t kAtOnce = 10000;  // the bound of a wait that should end at once
constexpr std::uint32_t kAWhile = 100;    // a wait that nothing ends

// The report as logged: its title is the program's, whose path the run was told.
std::string Reported(const std::u16string& text) { return "report Qeloweather | " + ToUtf8(text); }

std::vector<std::string> Writes(const Log& log) {
  std::vector<std::string> writes;
  for (const auto& entry : log) {
    if (entry.rfind("write ", 0) == 0) writes.push_back(entry);
  }
  return writes;
}

// Without a city, or with a name the table lacks, the run ends at once; the stored 福州 is no
// default.
TEST(FrmMainRun, WithoutAKnownCityEndsAtOnceWithoutFetchOrFile) {
  for (const std::u16string city : {u"", u"火星", u"福 州", u"福\"州", u"ab cd"}) {
    SCOPED_TRACE(ToUtf8(city));
    RecordingRun run;
    TFrmMain form(city, run.Client(), run.Environment());
    EXPECT_EQ(form.edtCityName.GetText(), city);
    EXPECT_EQ(form.edtJsonURL.GetText(), city.empty() ? u"" : u"(未知城市)");
    EXPECT_EQ(form.mmow.GetLine(0), u"mmow");
    EXPECT_EQ(form.mmow.GetLineCount(), 1);
    EXPECT_FALSE(form.tmr1.Running());
    EXPECT_EQ(run.log, Log());
    EXPECT_TRUE(LoopEndsWithin(kAtOnce));
  }
}

TEST(FrmMainRun, FoundCityRunsEveryStepInOrderAndEndsAfterClosing) {
  RecordingRun run;
  TFrmMain form(u"福州", run.Client(), run.Environment());

  EXPECT_EQ(form.edtCityName.GetText(), u"福州");
  EXPECT_EQ(form.edtJsonURL.GetText(), kFuzhouAddress);
  EXPECT_TRUE(form.tmr1.Running());
  EXPECT_EQ(form.mmow.GetLineCount(), 2);
  EXPECT_EQ(form.mmow.GetLine(0), u"<html>");

  ASSERT_GE(run.log.size(), 4u);
  EXPECT_EQ(run.log[0], "fetch " + ToUtf8(kFuzhouAddress));
  EXPECT_EQ(run.log[1], "open " + ToUtf8(kFolder) + "qeloweather.ini");
  EXPECT_EQ(run.log[2], "write [qelo] 更新时间=2014/9/16 8:05:09");
  EXPECT_EQ(run.log.back(), "close");

  const auto writes = Writes(run.log);
  ASSERT_EQ(writes.size(), kForecastKeys.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].rfind("write [qelo] " + ToUtf8(kForecastKeys[i]) + "=", 0), 0u)
        << writes[i];
  }
  EXPECT_EQ(writes[5], "write [qelo] 城市=福州");
  EXPECT_EQ(run.log.size(), 2 + writes.size() + 1);
  EXPECT_TRUE(LoopEndsWithin(kAtOnce));
}

TEST(FrmMainRun, FailureAfterArmingIsReportedAndLeavesTheEndToTheWatchdog) {
  const struct {
    const char* name;
    std::u16string message, shown;
    bool failInFetch;  // else the first write fails
  } cases[] = {
      {"host not found", u"Socket Error # 11001\r\nHost not found.",
       u"Socket Error # 11001\r\nHost not found.", true},
      {"status", u"HTTP/1.1 404 Not Found", u"HTTP/1.1 404 Not Found.", true},
      {"empty", u"", u"", true},
      {"write refused", u"Unable to write to C:\\Plugins\\qeloweather.ini",
       u"Unable to write to C:\\Plugins\\qeloweather.ini.", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingRun run;
    if (c.failInFetch) {
      run.fetch = [&](ResponseBuffer&) { throw Failure(c.message); };
    } else {
      run.write = [&](const std::u16string&) { throw Failure(c.message); };
    }
    TFrmMain form(u"福州", run.Client(), run.Environment());

    EXPECT_EQ(run.log.back(), Reported(c.shown));
    for (const auto& entry : run.log) EXPECT_NE(entry, "close");
    if (c.failInFetch) {
      EXPECT_EQ(form.mmow.GetLine(0), u"mmow");
      EXPECT_TRUE(Writes(run.log).empty());
    }
    EXPECT_TRUE(form.tmr1.Running());
    EXPECT_FALSE(LoopEndsWithin(kAWhile));  // only the watchdog, 300 s away, ends this run
  }
}

TEST(FrmMainRun, ArmedWatchdogEndsTheProgramAfterAFailureAndKeepsFiring) {
  RecordingRun run;
  run.fetch = [](ResponseBuffer&) { throw Failure(u"HTTP/1.1 404 Not Found"); };
  TFrmMain form(u"福州", run.Client(), run.Environment(kShortWatchdog));
  EXPECT_TRUE(LoopEndsWithin(kAtOnce));
  EXPECT_TRUE(LoopEndsWithin(kAtOnce));  // asking again is harmless
}

TEST(FrmMainRun, WatchdogDueWhileTheReportIsUpEndsFromWithinIt) {
  RecordingRun run;
  run.fetch = [](ResponseBuffer&) { throw Failure(u"Connection Closed Gracefully."); };
  run.whileReportIsUp = [&] {
    EXPECT_TRUE(LoopEndsWithin(kAtOnce));
    run.log.push_back("ended");
  };
  TFrmMain form(u"福州", run.Client(), run.Environment(kShortWatchdog));
  EXPECT_EQ(run.log, Log({"fetch " + ToUtf8(kFuzhouAddress),
                          Reported(u"Connection Closed Gracefully."), "ended"}));
  form.tmr1.SetEnabled(false);
  EXPECT_FALSE(LoopEndsWithin(kAWhile));  // the report asked for no second end
}

TEST(FrmMainRun, FailureWithoutARunningWatchdogEndsOnceReported) {
  RecordingRun run;
  run.fetch = [](ResponseBuffer&) { throw std::bad_alloc(); };
  TFrmMain form(u"福州", run.Client(), run.Environment(0));  // an interval of 0 starts nothing
  EXPECT_FALSE(form.tmr1.Running());
  EXPECT_EQ(run.log, Log({"fetch " + ToUtf8(kFuzhouAddress), Reported(u"Out of memory.")}));
  EXPECT_TRUE(LoopEndsWithin(kAtOnce));
}

}  // namespace
}  // namespace qelo
