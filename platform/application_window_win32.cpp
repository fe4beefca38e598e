#include <cwchar>
#include <iterator>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/application_window.h"
#include "platform/win32_handles.h"
#include "platform/win32_text.h"
#include "platform/win32_window_class.h"

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

BOOL CALLBACK TakeIfApplicationWindow(HWND window, LPARAM found) {
  wchar_t name[std::size(kApplicationClass) + 1] = {};
  if (GetClassNameW(window, name, static_cast<int>(std::size(name))) == 0 ||
      std::wcscmp(name, kApplicationClass) != 0) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

struct ApplicationWindow::Native {
  UniqueWindow window;
};

ApplicationWindow::ApplicationWindow() : native_(std::make_unique<Native>()) {
  RegisterWindowClass(kApplicationClass, ApplicationWindowProc);
  // A tool window with an empty caption, created without WS_VISIBLE and never shown, so the
  // program has no taskbar entry.
  native_->window.Reset(
      CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, L"",
                      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                      0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!native_->window.Valid()) throw Failure(messages::kCannotCreateApplicationWindow);
}

ApplicationWindow::~ApplicationWindow() = default;

// The one application window is this thread's window of its class.
void* ApplicationWindow::Handle() noexcept {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeIfApplicationWindow,
                    reinterpret_cast<LPARAM>(&found));
  return found;
}

struct FormWindow::Native {
  UniqueWindow window;
};

FormWindow::FormWindow(const std::u16string& caption, int clientWidth, int clientHeight)
    : native_(std::make_unique<Native>()) {
  RegisterWindowClass(kFormClass, DefWindowProcW);
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  // Never WS_VISIBLE and never passed to ShowWindow: the show mode of the starter (nCmdShow,
  // STARTUPINFO) applies only to a first ShowWindow, which never comes.
  native_->window.Reset(CreateWindowExW(0, kFormClass, Wide(caption), style, 0, 0,
                                        frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!native_->window.Valid()) throw Failure(messages::kCannotCreateMainWindow);
}

FormWindow::~FormWindow() = default;

}  // namespace qelo::platform
