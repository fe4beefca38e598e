#pragma once
// The modal failure report.

#include <string>

#include "platform/application_window.h"

namespace qelo::platform {

// Windows: MessageBoxW(owner, text, title, MB_OK | MB_ICONERROR), the owner being the thread's
// active window or else `application`, the application window. The box's own loop dispatches the thread's
// messages (the timers' among them); a quit message closes it, and is posted again.
// POSIX: title + ": " + text in UTF-8 as one line on standard error, each line break of the
// text a blank, and returns at once, as after the user's OK.
void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title,
                         const NativeWindow& application);

}  // namespace qelo::platform
