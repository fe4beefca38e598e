#pragma once
// The main window's small components: text fields, a button and the timer.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/gui.h"

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

// A push button; nobody ever clicks it, it is only the sender of its handler's call.
class TButton {};

// A timer component: its platform timer runs while it is enabled with a non-zero interval.
// Setting the interval of a disabled timer starts nothing; the platform timer (on Windows a
// hidden window of its own) is made only when the timer first starts.
class TTimer {
 public:
  explicit TTimer(std::function<void(TObject* sender)> onTimer) : onTimer_(std::move(onTimer)) {}
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  void SetInterval(std::uint32_t interval) {
    interval_ = interval;
    UpdateTimer();
  }
  void SetEnabled(bool enabled) {
    enabled_ = enabled;
    UpdateTimer();
  }
  // Whether the platform timer is actually running.
  bool Running() const { return running_; }

 private:
  void UpdateTimer() {
    if (timer_) timer_->Stop();
    running_ = false;
    if (!enabled_ || interval_ == 0) return;
    if (!timer_) timer_ = std::make_unique<platform::WindowTimer>([this] { onTimer_(this); });
    timer_->Start(interval_);
    running_ = true;
  }

  std::function<void(TObject* sender)> onTimer_;
  std::uint32_t interval_ = 1000;  // the component's default, kept when nothing sets one
  bool enabled_ = false;
  bool running_ = false;
  std::unique_ptr<platform::WindowTimer> timer_;  // killed with the component
};

}  // namespace qelo
