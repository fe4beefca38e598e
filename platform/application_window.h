#pragma once
// The application's own hidden window and the main window's native window. Neither is ever
// shown, whatever show mode the starting process asks for, and neither has a taskbar entry.

#include <memory>
#include <string>

namespace qelo::platform {

// Windows: a tool window with an empty caption. When the user logs off or the system shuts
// down, it ends the program at once with exit code 0 (on POSIX main's HandleEndSignals does).
class ApplicationWindow {
 public:
  ApplicationWindow();
  ~ApplicationWindow();
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;

  // The window that owns the failure report when no window of the thread is active
  // (an HWND on Windows; nullptr where there is none).
  static void* Handle() noexcept;

 private:
  struct Native;  // the platform's own window, if it has one
  std::unique_ptr<Native> native_;
};

// The main window's native window, created hidden with the given caption and client size.
// POSIX has no native windows: there it is an empty stand-in.
class FormWindow {
 public:
  FormWindow(const std::u16string& caption, int clientWidth, int clientHeight);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace qelo::platform
