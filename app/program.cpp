#include "app/program.h"

#include <exception>
#include <memory>

#include "app/failure_report.h"
#include "app/frm_main.h"
#include "forecastfile/ini_writer.h"
#include "platform/clock.h"
#include "platform/gui.h"
#include "platform/process.h"
#include "retrieval/http_client.h"

namespace qelo {
namespace {

class IniFiles final : public ForecastFiles {
 public:
  std::unique_ptr<ForecastFile> Open(const std::u16string& path) override {
    return std::make_unique<IniWriter>(path);
  }
};

// The modal box, owned by the thread's active window or else the application window.
class MessageBoxReporter final : public FailureReporter {
 public:
  explicit MessageBoxReporter(const platform::NativeWindow& application)
      : application_(application) {}
  void Show(const FailureReport& report) override {
    platform::ShowErrorMessageBox(report.text, report.title, application_);
  }

 private:
  const platform::NativeWindow& application_;
};

}  // namespace

int RunProgram(const std::u16string& city, std::uint32_t watchdogInterval) noexcept {
  std::u16string executablePath;
  try {
    // The windows and the locale's formats fail only at the start, the loop only at the end;
    // the run's own failures are reported while the main window is created.
    executablePath = platform::ExecutablePath();
    const platform::NativeWindow application = platform::CreateApplicationWindow();
    MessageBoxReporter reporter(application);
    IniFiles files;
    const std::unique_ptr<platform::Clock> clock = platform::SystemClock();
    TFrmMain form(city, std::make_unique<HttpClient>(),
                  {files, reporter, *clock, executablePath, watchdogInterval});
    const platform::NativeWindow formWindow = platform::CreateFormWindow(
        TFrmMain::kCaption, TFrmMain::kClientWidth, TFrmMain::kClientHeight);
    platform::RunMessageLoop();
  } catch (...) {
    try {
      // The windows have gone with the scope: the box has no owner of the program's.
      const platform::NativeWindow none;
      MessageBoxReporter(none).Show(ReportOf(std::current_exception(), executablePath));
    } catch (...) {
      // Not even the report could be made (memory is gone); the program still ends with 0.
    }
  }
  return 0;
}

}  // namespace qelo
