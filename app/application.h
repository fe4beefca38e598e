#pragma once
// The application object: its hidden window, the main window it owns, and the message loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/frm_main.h"
#include "app/platform_run_services.h"
#include "platform/application_window.h"
#include "platform/clock.h"

namespace qelo {

class TApplication {
 public:
  explicit TApplication(std::function<std::u16string()> cityArgument);
  // Creates FrmMain, and with it the whole run; then completes its native window, hidden.
  void CreateForm(const platform::DateTimeFormat& dateTimeFormat, std::uint32_t watchdogInterval);
  // Dispatches the thread's messages until the quit message.
  void Run();

 private:
  platform::ApplicationWindow window_;
  PlatformRunServices services_;  // outlives the main window, which runs on it
  std::unique_ptr<TFrmMain> mainForm_;
  std::unique_ptr<platform::FormWindow> mainFormWindow_;
};

}  // namespace qelo
