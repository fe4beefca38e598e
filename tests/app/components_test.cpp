// The timer component: when its platform timer runs, and with which interval.

#include "app/components.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelo {
namespace {

class RecordingBackend final : public TimerBackend {
 public:
  std::vector<std::string> calls;
  void StartTimer(std::uint32_t intervalMs, std::function<void()>) override {
    calls.push_back("start " + std::to_string(intervalMs));
  }
  void StopTimer() noexcept override { calls.push_back("stop"); }
};

TEST(TimerComponent, StartsOnlyWhenEnabledWithIntervalAndHandler) {
  RecordingBackend backend;
  TTimer timer(backend);
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.Enabled());
  timer.SetInterval(300000);  // disabled: starts nothing
  EXPECT_TRUE(backend.calls.empty());

  timer.SetEnabled(true);  // no handler yet: still nothing
  EXPECT_FALSE(timer.Running());
  timer.OnTimer = [](TObject*) {};
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Running());
  timer.SetInterval(500);  // running: restarted with the new interval
  timer.SetInterval(0);    // zero stops it
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(backend.calls, (std::vector<std::string>{"start 300000", "stop", "start 500", "stop"}));
}

TEST(TimerComponent, DisablingAndDestroyingStopTheRunningTimer) {
  RecordingBackend backend;
  {
    TTimer timer(backend);
    timer.OnTimer = [](TObject*) {};
    timer.SetEnabled(true);
    timer.SetEnabled(false);
    timer.SetEnabled(true);
  }
  EXPECT_EQ(backend.calls, (std::vector<std::string>{"start 1000", "stop", "start 1000", "stop"}));
}

}  // namespace
}  // namespace qelo
