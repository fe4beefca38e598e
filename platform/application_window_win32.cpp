#include <windows.h>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/application_window.h"
#include "platform/text_win32.h"
#include "platform/window_class_win32.h"

namespace qelo::platform {
namespace {

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

}  // namespace

void WindowTraits::Close(Handle window) noexcept { DestroyWindow(static_cast<HWND>(window)); }

NativeWindow CreateApplicationWindow() {
  RegisterWindowClass(kApplicationClass, ApplicationWindowProc);
  // A tool window with an empty caption, created without WS_VISIBLE and never shown, so the
  // program has no taskbar entry.
  NativeWindow window(CreateWindowExW(
      WS_EX_TOOLWINDOW, kApplicationClass, L"",
      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr,
      nullptr, GetModuleHandleW(nullptr), nullptr));
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

}  // namespace qelo::platform
