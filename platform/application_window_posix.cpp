#include "platform/application_window.h"

namespace qelo::platform {

// POSIX has no native windows: neither class holds anything of its own.
struct ApplicationWindow::Native {};
struct FormWindow::Native {};

ApplicationWindow::ApplicationWindow() = default;
ApplicationWindow::~ApplicationWindow() = default;
void* ApplicationWindow::Handle() noexcept { return nullptr; }

FormWindow::FormWindow(const std::u16string&, int, int) {}
FormWindow::~FormWindow() = default;

}  // namespace qelo::platform
