#include <chrono>
#include <optional>

#include "platform/thread_queue_posix.h"
#include "platform/window_timer.h"

namespace qelo::platform {

struct WindowTimer::State {
  std::function<void()> onTimer;
  std::optional<thread_queue::TimerKey> key;
};

WindowTimer::WindowTimer(std::function<void()> onTimer)
    : state_(std::make_unique<State>(State{std::move(onTimer), std::nullopt})) {}

WindowTimer::~WindowTimer() { Stop(); }

void WindowTimer::Start(std::uint32_t intervalMs) {
  Stop();
  state_->key = thread_queue::AddTimer(std::chrono::milliseconds(intervalMs), state_->onTimer);
}

void WindowTimer::Stop() noexcept {
  if (!state_->key) return;
  thread_queue::RemoveTimer(*state_->key);
  state_->key.reset();
}

}  // namespace qelo::platform
