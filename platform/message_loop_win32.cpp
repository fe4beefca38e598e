#include <windows.h>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/message_loop.h"
#include "platform/window_class_win32.h"

namespace qelo::platform {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kTimerClass[] = L"QeloTimerWindow";

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

void PostQuit() noexcept { PostQuitMessage(0); }

void RunMessageLoop() {
  MSG message;
  for (;;) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (message.message == WM_QUIT) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

WindowTimer::WindowTimer(std::function<void()> onTimer) : onTimer_(std::move(onTimer)) {
  RegisterWindowClass(kTimerClass, TimerWindowProc);
  // A hidden top-level window of its own, never shown; the timer message goes to it.
  window_.Reset(CreateWindowExW(WS_EX_TOOLWINDOW, kTimerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, GetModuleHandleW(nullptr), &onTimer_));
  if (!window_.Valid()) throw Failure(messages::kNotEnoughTimers);
}

void WindowTimer::Start(std::uint32_t intervalMs) {
  Stop();
  if (SetTimer(static_cast<HWND>(window_.Get()), kTimerId, intervalMs, nullptr) == 0) {
    throw Failure(messages::kNotEnoughTimers);
  }
  running_ = true;
}

void WindowTimer::Stop() noexcept {
  if (!running_) return;
  KillTimer(static_cast<HWND>(window_.Get()), kTimerId);
  running_ = false;
}

}  // namespace qelo::platform
