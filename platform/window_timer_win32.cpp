#include "core/failure.h"
#include "core/messages.h"
#include "platform/win32_handles.h"
#include "platform/win32_window_class.h"
#include "platform/window_timer.h"

namespace qelo::platform {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kClassName[] = L"QeloTimerWindow";

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_TIMER && wParam == kTimerId) {
    auto* onTimer =
        reinterpret_cast<std::function<void()>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (onTimer && *onTimer) (*onTimer)();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

struct WindowTimer::State {
  std::function<void()> onTimer;
  UniqueWindow window;
  bool running = false;
};

WindowTimer::WindowTimer(std::function<void()> onTimer)
    : state_(std::make_unique<State>(State{std::move(onTimer), UniqueWindow(), false})) {
  RegisterWindowClass(kClassName, TimerWindowProc);
  // A hidden top-level window of its own, never shown; the timer message goes to it.
  state_->window.Reset(CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                       nullptr, nullptr, GetModuleHandleW(nullptr),
                                       &state_->onTimer));
  if (!state_->window.Valid()) throw Failure(messages::kNotEnoughTimers);
}

WindowTimer::~WindowTimer() { Stop(); }

void WindowTimer::Start(std::uint32_t intervalMs) {
  Stop();
  if (SetTimer(state_->window.Get(), kTimerId, intervalMs, nullptr) == 0) {
    throw Failure(messages::kNotEnoughTimers);
  }
  state_->running = true;
}

void WindowTimer::Stop() noexcept {
  if (!state_->running) return;
  KillTimer(state_->window.Get(), kTimerId);
  state_->running = false;
}

}  // namespace qelo::platform
