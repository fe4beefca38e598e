#pragma once
// The thread's message loop run as the program runs it, but for a bounded time.

#include <cstdint>

#include "platform/gui.h"

namespace qelo::test {

// Dispatches the thread's messages, timers among them, until the quit message or for `waitMs` at
// most; true when the quit message came first. A quit message already posted is taken at once.
inline bool LoopEndsWithin(std::uint32_t waitMs) {
  bool late = false;
  platform::WindowTimer backstop([&] {
    late = true;
    platform::PostQuit();
  });
  backstop.Start(waitMs);
  platform::RunMessageLoop();
  return !late;
}

}  // namespace qelo::test
