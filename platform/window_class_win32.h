#pragma once
// The window classes of the program's own windows (the application window, the main window,
// the timer window).

#include <windows.h>

namespace qelo::platform {

// Registers the class `name` with `procedure`, the arrow cursor and the button-face
// background. A class that is already registered is fine: the windows are the same kind.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure);

}  // namespace qelo::platform
