#include "app/program.h"

#include <exception>
#include <memory>

#include "app/application.h"
#include "app/failure_report.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/module_path.h"

namespace qelo {

namespace {
constexpr int kExitCode = 0;
}  // namespace

int RunToTheEnd(const std::function<void()>& program, const FailureReporter& report,
                const std::function<std::u16string()>& executablePath,
                char16_t separator) noexcept {
  try {
    program();
  } catch (...) {
    try {
      report(ReportText(FailureMessage(std::current_exception())),
             ApplicationTitle(executablePath(), separator));
    } catch (...) {
      // Not even the report could be made (memory is gone); the program still ends with 0.
    }
  }
  return kExitCode;
}

int RunProgram(std::uint32_t watchdogInterval) noexcept {
  // The application, its window and the locale's formats fail only at the start, the loop only
  // at the end; the run's own failures are reported while the main window is created.
  const auto program = [watchdogInterval] {
    TApplication application;
    const std::unique_ptr<platform::DateTimeFormat> format = platform::ReadDateTimeFormat();
    application.CreateForm(*format, watchdogInterval);
    application.Run();
  };
  try {
    return RunToTheEnd(
        program, platform::ShowErrorMessageBox, [] { return platform::ExecutablePath(); },
        platform::PathSeparator());
  } catch (...) {
    return kExitCode;  // the guard itself could not be set up (memory is gone)
  }
}

}  // namespace qelo
