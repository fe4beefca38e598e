#include <windows.h>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/gui.h"
#include "platform/text_win32.h"

namespace qelo::platform {
namespace {

// Registers the class `name` with `procedure`, the arrow cursor and the button-face background.
// A class that is already registered is fine: the windows are the same kind.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
}

constexpr wchar_t kApplicationClass[] = L"QeloApplication";
constexpr wchar_t kFormClass[] = L"TFrmMain";

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends: nothing of the run is worth keeping the user waiting.
      if (wParam) ExitProcess(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

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

void WindowTraits::Close(Handle window) noexcept { DestroyWindow(static_cast<HWND>(window)); }

NativeWindow CreateApplicationWindow() {
  RegisterWindowClass(kApplicationClass, ApplicationWindowProc);
  // A tool window with an empty caption, created without WS_VISIBLE and never shown, so the
  // program has no taskbar entry.
  NativeWindow window(
      CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, L"",
                      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                      0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!window.Valid()) throw Failure(messages::kCannotCreateApplicationWindow);
  return window;
}

NativeWindow CreateFormWindow(const std::u16string& caption, int clientWidth, int clientHeight) {
  RegisterWindowClass(kFormClass, DefWindowProcW);
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  // Never WS_VISIBLE and never passed to ShowWindow: the show mode of the starter (nCmdShow,
  // STARTUPINFO) applies only to a first ShowWindow, which never comes.
  NativeWindow window(CreateWindowExW(0, kFormClass, Wide(caption), style, 0, 0,
                                      frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!window.Valid()) throw Failure(messages::kCannotCreateMainWindow);
  return window;
}

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title,
                         const NativeWindow& application) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = static_cast<HWND>(application.Get());
  MessageBoxW(owner, Wide(text), Wide(title), MB_OK | MB_ICONERROR);
}

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
