// The thread's message loop and its repeating timer, on the platform's own queue.

#include "platform/gui.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qelo::platform {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(MessageLoop, QuitPostedBeforeTheLoopEndsItAtOnce) {
  PostQuit();
  PostQuit();  // asking twice is harmless
  const auto start = Clock::now();
  RunMessageLoop();
  EXPECT_LT(Clock::now() - start, 1s);
}

TEST(MessageLoop, RepeatingTimerFiresUntilItsHandlerPostsQuit) {
  int firings = 0;
  WindowTimer timer([&] {
    if (++firings == 3) PostQuit();
  });
  const auto start = Clock::now();
  timer.Start(30);
  RunMessageLoop();
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(firings, 3);
  EXPECT_GE(elapsed, 80ms);
  EXPECT_LT(elapsed, 5s);
}

TEST(MessageLoop, StoppedTimerFiresNoMore) {
  int firings = 0;
  WindowTimer stopped([&] { ++firings; });
  WindowTimer last([] { PostQuit(); });
  stopped.Start(20);
  stopped.Stop();
  stopped.Stop();  // harmless when not running
  last.Start(150);
  RunMessageLoop();
  last.Stop();
  EXPECT_EQ(firings, 0);
}

TEST(MessageLoop, TimerStoppedByItsOwnHandlerFiresOnce) {
  int firings = 0;
  WindowTimer* self = nullptr;
  WindowTimer once([&] {
    ++firings;
    self->Stop();
  });
  self = &once;
  WindowTimer last([] { PostQuit(); });
  once.Start(10);
  last.Start(200);
  RunMessageLoop();
  last.Stop();
  EXPECT_EQ(firings, 1);
}

}  // namespace
}  // namespace qelo::platform
