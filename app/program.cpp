#include "app/program.h"

#include <exception>
#include <memory>

#include "app/application.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/module_path.h"

namespace qelo {

namespace {
constexpr int kExitCode = 0;
}  // namespace

int RunToTheEnd(const std::function<void()>& program,
                const std::function<void(const FailureReport&)>& show,
                const std::function<std::u16string()>& executablePath) noexcept {
  try {
    program();
  } catch (...) {
    try {
      show(ReportOf(std::current_exception(), executablePath()));
    } catch (...) {
      // Not even the report could be made (memory is gone); the program still ends with 0.
    }
  }
  return kExitCode;
}

int RunProgram(std::uint32_t watchdogInterval,
               const std::function<std::u16string()>& cityArgument) noexcept {
  // The application, its window and the locale's formats fail only at the start, the loop only
  // at the end; the run's own failures are reported while the main window is created.
  const auto program = [&] {
    TApplication application(cityArgument);
    const std::unique_ptr<platform::DateTimeFormat> format = platform::ReadDateTimeFormat();
    application.CreateForm(*format, watchdogInterval);
    application.Run();
  };
  const auto show = [](const FailureReport& report) {
    platform::ShowErrorMessageBox(report.text, report.title);
  };
  try {
    return RunToTheEnd(program, show, [] { return platform::ExecutablePath(); });
  } catch (...) {
    return kExitCode;  // the guard itself could not be set up (memory is gone)
  }
}

}  // namespace qelo
