#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/message_loop.h"
#include "platform/thread_queue_posix.h"

namespace qelo::platform {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  std::chrono::milliseconds interval;
  Clock::time_point due;
  std::function<void()> onTimer;
};

// One thread does everything, so the queue is plain state of that thread.
struct Queue {
  std::map<thread_queue::TimerKey, Timer> timers;
  thread_queue::TimerKey nextKey = 1;
  bool quitPosted = false;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

// Fires every timer that is due, once each however many periods have passed.
void DispatchDueTimers() {
  Queue& queue = TheQueue();
  const auto now = Clock::now();
  std::vector<thread_queue::TimerKey> due;
  for (const auto& [key, timer] : queue.timers) {
    if (timer.due <= now) due.push_back(key);
  }
  for (const auto key : due) {
    auto found = queue.timers.find(key);
    if (found == queue.timers.end()) continue;  // removed by an earlier handler
    found->second.due = now + found->second.interval;
    auto onTimer = found->second.onTimer;
    onTimer();
  }
}

// Milliseconds until the next timer is due; -1 (wait without end) when there is none.
int MillisecondsToNextTimer() {
  const Queue& queue = TheQueue();
  if (queue.timers.empty()) return -1;
  auto next = Clock::time_point::max();
  for (const auto& entry : queue.timers) next = std::min(next, entry.second.due);
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
  return static_cast<int>(std::clamp<std::int64_t>(wait, 0, std::int64_t{24} * 60 * 60 * 1000));
}

}  // namespace

namespace thread_queue {

TimerKey AddTimer(std::chrono::milliseconds interval, std::function<void()> onTimer) {
  Queue& queue = TheQueue();
  const TimerKey key = queue.nextKey++;
  queue.timers.emplace(key, Timer{interval, Clock::now() + interval, std::move(onTimer)});
  return key;
}

void RemoveTimer(TimerKey key) noexcept { TheQueue().timers.erase(key); }

}  // namespace thread_queue

void PostQuit() noexcept { TheQueue().quitPosted = true; }

void RunMessageLoop() {
  Queue& queue = TheQueue();
  for (;;) {
    DispatchDueTimers();
    if (queue.quitPosted) {
      queue.quitPosted = false;
      return;
    }
    // A signal interrupts the wait; the loop then just looks again.
    poll(nullptr, 0, MillisecondsToNextTimer());
  }
}

}  // namespace qelo::platform
