// The timer component on the thread's own queue: when its platform timer runs, whom it names as
// the sender, and that it fires no more once destroyed.

#include "app/components.h"

#include <gtest/gtest.h>

#include "platform/gui.h"
#include "tests/support/message_loop_wait.h"

namespace qelo {
namespace {

TEST(TimerComponent, RunsOnlyWhileEnabledWithAnInterval) {
  TTimer timer([](TObject*) {});
  timer.SetInterval(300000);
  EXPECT_FALSE(timer.Running());  // disabled: starts nothing
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Running());
  timer.SetInterval(0);
  EXPECT_FALSE(timer.Running());
  timer.SetInterval(500);
  EXPECT_TRUE(timer.Running());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Running());
  TTimer byDefault([](TObject*) {});
  byDefault.SetEnabled(true);  // with its interval as loaded
  EXPECT_TRUE(byDefault.Running());
}

TEST(TimerComponent, FiresAtTheNewIntervalWithItselfAsSenderAndNoMoreOnceDestroyed) {
  TObject* sender = nullptr;
  TTimer timer([&](TObject* s) {
    sender = s;
    platform::PostQuit();
  });
  int firingsAfterDestruction = 0;
  {
    TTimer destroyed([&](TObject*) { ++firingsAfterDestruction; });
    destroyed.SetInterval(1);
    destroyed.SetEnabled(true);
  }
  timer.SetEnabled(true);
  timer.SetInterval(300000);
  timer.SetInterval(30);  // a running timer starts again with the new interval
  EXPECT_TRUE(test::LoopEndsWithin(10000));
  EXPECT_EQ(sender, &timer);
  EXPECT_EQ(firingsAfterDestruction, 0);
}

}  // namespace
}  // namespace qelo
