#pragma once
// The program from its start to its end.

#include <cstdint>
#include <functional>
#include <string>

#include "app/failure_report.h"

namespace qelo {

// Runs `program`; a failure that escapes it is shown through `show` as every failure report is,
// the title made from the path that `executablePath` gives (asked for only when there is a
// report to make). Never throws, and returns the exit code: always 0.
int RunToTheEnd(const std::function<void()>& program,
                const std::function<void(const FailureReport&)>& show,
                const std::function<std::u16string()>& executablePath) noexcept;

// Starts the application, creates the main window (and with it the whole run) and runs the
// message loop until the end. `cityArgument` reads command-line argument 1 the way the
// platform's entry point has it. A failure anywhere, also before the main window exists or
// after the loop, is reported like any other and ends the program. Returns the exit code:
// always 0.
int RunProgram(std::uint32_t watchdogInterval,
               const std::function<std::u16string()>& cityArgument) noexcept;

}  // namespace qelo
