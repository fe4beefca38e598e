#pragma once
// A repeating timer of the program's one thread. It fires only when the thread dispatches
// messages, and an expired timer waiting for dispatch yields one firing, not one per period.

#include <cstdint>
#include <functional>
#include <memory>

namespace qelo::platform {

class WindowTimer {
 public:
  // Windows: creates the timer's own hidden window; the timer itself starts with Start.
  explicit WindowTimer(std::function<void()> onTimer);
  ~WindowTimer();  // kills a running timer
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  // (Re)starts the timer (SetTimer with identifier 1): it fires every `intervalMs` from now on.
  // Throws Failure(u"Not enough timers available") when the system refuses it.
  void Start(std::uint32_t intervalMs);
  // Kills the timer (KillTimer); harmless when it is not running.
  void Stop() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace qelo::platform
