#pragma once
// The POSIX stand-in for the thread's message queue, shared by the message loop and the timers:
// timers are due times on the monotonic clock, checked by the loop between waits.

#include <chrono>
#include <cstdint>
#include <functional>

namespace qelo::platform::thread_queue {

using TimerKey = std::uint64_t;

// Registers a timer that is due every `interval` from now; returns its key.
TimerKey AddTimer(std::chrono::milliseconds interval, std::function<void()> onTimer);
// Forgets the timer; harmless for a key that is not registered.
void RemoveTimer(TimerKey key) noexcept;

}  // namespace qelo::platform::thread_queue
