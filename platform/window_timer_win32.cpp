#include <windows.h>

#include "platform/failure.h"
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

void RegisterTimerWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TimerWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
}

}  // namespace

struct WindowTimer::State {
  std::function<void()> onTimer;
  HWND window = nullptr;
  bool running = false;
};

WindowTimer::WindowTimer(std::function<void()> onTimer)
    : state_(std::make_unique<State>(State{std::move(onTimer)})) {
  RegisterTimerWindowClass();
  // A hidden top-level window of its own, never shown; the timer message goes to it.
  state_->window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), &state_->onTimer);
  if (!state_->window) throw Failure(u"Not enough timers available");
}

WindowTimer::~WindowTimer() {
  Stop();
  DestroyWindow(state_->window);
}

void WindowTimer::Start(std::uint32_t intervalMs) {
  Stop();
  if (SetTimer(state_->window, kTimerId, intervalMs, nullptr) == 0) {
    throw Failure(u"Not enough timers available");
  }
  state_->running = true;
}

void WindowTimer::Stop() noexcept {
  if (!state_->running) return;
  KillTimer(state_->window, kTimerId);
  state_->running = false;
}

}  // namespace qelo::platform
