#include "app/program.h"

#include <exception>
#include <memory>

#include "app/failure_report.h"
#include "app/frm_main.h"
#include "forecastfile/ini_writer.h"
#include "platform/application_window.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/message_loop.h"
#include "platform/module_path.h"
#include "retrieval/http_client.h"

namespace qelo {
namespace {

class PlatformOutput final : public RunOutput {
 public:
  std::unique_ptr<ForecastFile> OpenForecastFile(const std::u16string& path) override {
    return std::make_unique<IniWriter>(path);
  }
  void ShowFailureReport(const FailureReport& report) override {
    platform::ShowErrorMessageBox(report.text, report.title);
  }
};

}  // namespace

int RunProgram(const std::u16string& city, std::uint32_t watchdogInterval) noexcept {
  PlatformOutput output;
  try {
    // The windows and the locale's formats fail only at the start, the loop only at the end;
    // the run's own failures are reported while the main window is created.
    const platform::ApplicationWindow application;
    const std::unique_ptr<platform::DateTimeFormat> format = platform::ReadDateTimeFormat();
    TFrmMain form(city, std::make_unique<HttpClient>(), output, *format, watchdogInterval);
    const platform::FormWindow formWindow(TFrmMain::kCaption, TFrmMain::kClientWidth,
                                          TFrmMain::kClientHeight);
    platform::RunMessageLoop();
  } catch (...) {
    try {
      output.ShowFailureReport(ReportOf(std::current_exception(), platform::ExecutablePath()));
    } catch (...) {
      // Not even the report could be made (memory is gone); the program still ends with 0.
    }
  }
  return 0;
}

}  // namespace qelo
