#pragma once
// The desktop side of the program: its native windows, the thread's message loop and timers, and
// the failure box. No window is ever shown, whatever show mode the starting process asks for, and
// none has a taskbar entry. POSIX has no native windows: there each is none, the loop is a poll
// loop with a monotonic timer, and the box is a line on standard error.

#include <cstdint>
#include <functional>
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

// The modal failure box. Windows: MessageBoxW(owner, text, title, MB_OK | MB_ICONERROR), the
// owner being the thread's active window or else the application window. The box's own loop
// dispatches the thread's messages (the timers' among them); a quit message closes it, and is
// posted again. POSIX: title + ": " + text in UTF-8 as one line on standard error, each line
// break of the text a blank, and returns at once, as after the user's OK.
void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title,
                         const NativeWindow& application);

// Posts the quit message with code 0 (PostQuitMessage(0)). It stops nothing by itself: it takes
// effect when a message loop takes it. Posting it again is harmless.
void PostQuit() noexcept;

// Takes the thread's messages one by one and dispatches them (the timers' among them), waiting
// while the queue is empty, and returns once it has taken the quit message. The quit message is
// taken only when nothing else is waiting, so messages queued before it are still dispatched.
void RunMessageLoop();

// A repeating timer of the thread. It fires only when the thread dispatches messages, and an
// expired timer waiting for dispatch yields one firing, not one per period.
class WindowTimer {
 public:
  // Windows: creates the hidden window the timer's messages go to; the timer starts with Start.
  explicit WindowTimer(std::function<void()> onTimer);
  ~WindowTimer() { Stop(); }
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  // (Re)starts the timer: it fires every `intervalMs` from now on. Throws
  // Failure(u"Not enough timers available") when the system refuses it.
  void Start(std::uint32_t intervalMs);
  // Kills the timer; harmless when it is not running.
  void Stop() noexcept;

 private:
  std::function<void()> onTimer_;
  NativeWindow window_;  // Windows only
  bool running_ = false;
};

}  // namespace qelo::platform
