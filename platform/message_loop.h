#pragma once
// The thread's message queue: its timers, the end request and the loop that waits for it.

#include <cstdint>
#include <functional>

#include "platform/application_window.h"

namespace qelo::platform {

// Posts the quit message with code 0 (PostQuitMessage(0)). It stops nothing by itself: it takes
// effect when a message loop takes it. Posting it again is harmless.
void PostQuit() noexcept;

// Takes the thread's messages one by one and dispatches them (the timers' among them), waiting
// while the queue is empty, and returns once it has taken the quit message. The quit message is
// taken only when nothing else is waiting, so messages queued before it are still dispatched.
void RunMessageLoop();

// A repeating timer of the thread. It fires only when the thread dispatches messages, and an
// expired timer waiting for dispatch yields one firing, not one per period.
class WindowTimer {
 public:
  // Windows: creates the hidden window the timer's messages go to; the timer starts with Start.
  explicit WindowTimer(std::function<void()> onTimer);
  ~WindowTimer() { Stop(); }
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  // (Re)starts the timer: it fires every `intervalMs` from now on. Throws
  // Failure(u"Not enough timers available") when the system refuses it.
  void Start(std::uint32_t intervalMs);
  // Kills the timer; harmless when it is not running.
  void Stop() noexcept;

 private:
  std::function<void()> onTimer_;
  NativeWindow window_;  // Windows only
  bool running_ = false;
};

}  // namespace qelo::platform
