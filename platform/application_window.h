#pragma once
// The program's native windows: the application's own hidden window and the main window's.
// Neither is ever shown, whatever show mode the starting process asks for, and neither has a
// taskbar entry. POSIX has no native windows: there each is none.

#include <string>

#include "platform/unique_handle.h"

namespace qelo::platform {

// A window of this thread (an HWND), destroyed by its owner.
struct WindowTraits {
  using Handle = void*;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle window) noexcept;
};
using NativeWindow = UniqueHandle<WindowTraits>;

// A tool window with an empty caption, which owns the failure report. When the user logs off or
// the system shuts down, it ends the program at once with exit code 0 (on POSIX main's
// HandleEndSignals does). Throws Failure(u"Cannot create the application window").
NativeWindow CreateApplicationWindow();

// The main window's native window, created hidden with the given caption and client size.
// Throws Failure(u"Cannot create the main window").
NativeWindow CreateFormWindow(const std::u16string& caption, int clientWidth, int clientHeight);

}  // namespace qelo::platform
