#pragma once
// The main window's small components: text fields, a button and the timer.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace qelo {

// The sender of an event: the component or window that raises it.
using TObject = void;

// A single-line text field: a text that is set is read back unchanged, with no length limit.
class TEdit {
 public:
  explicit TEdit(std::u16string text = {}) : text_(std::move(text)) {}
  const std::u16string& GetText() const { return text_; }
  void SetText(std::u16string text) { text_ = std::move(text); }

 private:
  std::u16string text_;
};

// A push button; nobody ever clicks it, its handler is called directly.
class TButton {
 public:
  explicit TButton(std::u16string caption) : caption_(std::move(caption)) {}
  const std::u16string& Caption() const { return caption_; }

 private:
  std::u16string caption_;
};

// The platform timer behind a TTimer.
class TimerBackend {
 public:
  virtual ~TimerBackend() = default;
  // (Re)starts the one timer: `onTimer` runs every `intervalMs` when the thread dispatches.
  virtual void StartTimer(std::uint32_t intervalMs, std::function<void()> onTimer) = 0;
  virtual void StopTimer() noexcept = 0;
};

// A timer component: the platform timer runs while it is enabled with a non-zero interval and
// a handler. Setting the interval of a disabled timer starts nothing.
class TTimer {
 public:
  static constexpr std::uint32_t kDefaultInterval = 1000;

  explicit TTimer(TimerBackend& backend) : backend_(backend) {}
  ~TTimer() { Stop(); }
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t interval) {
    interval_ = interval;
    UpdateTimer();
  }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) {
    enabled_ = enabled;
    UpdateTimer();
  }
  // Whether the platform timer is actually running.
  bool Running() const { return running_; }

  std::function<void(TObject* sender)> OnTimer;

 private:
  void Stop() noexcept {
    if (!running_) return;
    backend_.StopTimer();
    running_ = false;
  }
  void UpdateTimer() {
    Stop();
    if (!enabled_ || interval_ == 0 || !OnTimer) return;
    backend_.StartTimer(interval_, [this] { OnTimer(this); });
    running_ = true;
  }

  TimerBackend& backend_;
  std::uint32_t interval_ = kDefaultInterval;
  bool enabled_ = false;
  bool running_ = false;
};

}  // namespace qelo
