#include <windows.h>

#include "platform/application_window.h"
#include "platform/failure.h"

namespace qelo::platform {
namespace {

constexpr wchar_t kApplicationClass[] = L"QeloApplication";
constexpr wchar_t kFormClass[] = L"TFrmMain";

HWND applicationWindow = nullptr;

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

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  // A class that is already registered is fine: the windows are the same kind.
  RegisterClassExW(&windowClass);
}

}  // namespace

ApplicationWindow::ApplicationWindow() {
  RegisterWindowClass(kApplicationClass, ApplicationWindowProc);
  // A tool window with an empty caption, created without WS_VISIBLE and never shown, so the
  // program has no taskbar entry.
  applicationWindow =
      CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, L"",
                      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                      0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!applicationWindow) throw Failure(u"Cannot create the application window");
}

ApplicationWindow::~ApplicationWindow() {
  DestroyWindow(applicationWindow);
  applicationWindow = nullptr;
}

void* ApplicationWindow::Handle() noexcept { return applicationWindow; }

FormWindow::FormWindow(const std::u16string& caption, int clientWidth, int clientHeight) {
  RegisterWindowClass(kFormClass, DefWindowProcW);
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  // Never WS_VISIBLE and never passed to ShowWindow: the show mode of the starter (nCmdShow,
  // STARTUPINFO) applies only to a first ShowWindow, which never comes.
  handle_ = CreateWindowExW(0, kFormClass, reinterpret_cast<const wchar_t*>(caption.c_str()), style,
                            0, 0, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!handle_) throw Failure(u"Cannot create the main window");
}

FormWindow::~FormWindow() { DestroyWindow(static_cast<HWND>(handle_)); }

bool FormWindow::IsVisible() const noexcept {
  return IsWindowVisible(static_cast<HWND>(handle_)) != FALSE;
}

void* FormWindow::Handle() const noexcept { return handle_; }

}  // namespace qelo::platform
