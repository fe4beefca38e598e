#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/text.h"
#include "platform/gui.h"

namespace qelo::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A running timer: when it is due next, and what it calls.
struct Due {
  const std::function<void()>* onTimer;
  std::chrono::milliseconds interval;
  Clock::time_point at;
};

// One thread does everything, so the queue is plain state of that thread: the running timers (the
// program's one, the watchdog; a test's bound beside it) and the quit message.
std::vector<Due> timers;
bool quitPosted = false;

// Fires each timer that is due, once however many periods have passed; a handler may stop or
// start timers.
void FireDueTimers() {
  const auto now = Clock::now();
  std::vector<const std::function<void()>*> due;
  for (const Due& timer : timers) {
    if (timer.at <= now) due.push_back(timer.onTimer);
  }
  for (const auto* onTimer : due) {
    const auto timer = std::ranges::find(timers, onTimer, &Due::onTimer);
    if (timer == timers.end()) continue;
    timer->at = now + timer->interval;
    const auto call = *onTimer;
    call();
  }
}

// Milliseconds until the next timer is due; -1, no end, without one.
int MillisecondsToNextTimer() {
  if (timers.empty()) return -1;
  const Clock::duration left = std::ranges::min(timers, {}, &Due::at).at - Clock::now();
  // A day at most: poll takes the milliseconds as an int.
  const Clock::duration wait = std::clamp<Clock::duration>(left, {}, std::chrono::hours(24));
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

}  // namespace

void WindowTraits::Close(Handle) noexcept {}

NativeWindow CreateApplicationWindow() { return {}; }

NativeWindow CreateFormWindow(const std::u16string&, int, int) { return {}; }

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title,
                         const NativeWindow&) {
  std::string line = ToUtf8(title) + ": ";
  // One report, one line: a line break of the text (CR LF, CR or LF) becomes a blank.
  const std::string body = ToUtf8(text);
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body.compare(i, 2, "\r\n") == 0) continue;  // the LF gives the blank
    line += body[i] == '\r' || body[i] == '\n' ? ' ' : body[i];
  }
  line += '\n';
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = write(STDERR_FILENO, line.data() + written, line.size() - written);
    if (n <= 0) return;  // nobody reads standard error: the report is lost, the run goes on
    written += static_cast<std::size_t>(n);
  }
}

void PostQuit() noexcept { quitPosted = true; }

void RunMessageLoop() {
  for (;;) {
    FireDueTimers();
    if (quitPosted) {
      quitPosted = false;
      return;
    }
    // A signal interrupts the wait; the loop then just looks again.
    poll(nullptr, 0, MillisecondsToNextTimer());
  }
}

WindowTimer::WindowTimer(std::function<void()> onTimer) : onTimer_(std::move(onTimer)) {}

void WindowTimer::Start(std::uint32_t intervalMs) {
  Stop();
  const std::chrono::milliseconds interval(intervalMs);
  timers.push_back({&onTimer_, interval, Clock::now() + interval});
  running_ = true;
}

void WindowTimer::Stop() noexcept {
  if (!running_) return;
  std::erase_if(timers, [this](const Due& timer) { return timer.onTimer == &onTimer_; });
  running_ = false;
}

}  // namespace qelo::platform
