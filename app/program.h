#pragma once
// The program from its start to its end.

#include <cstdint>
#include <functional>
#include <string>

namespace qelo {

using FailureReporter =
    std::function<void(const std::u16string& text, const std::u16string& title)>;

// Runs `program`; a failure that escapes it is shown through `report` as every failure report
// is (the message with its full stop, the application title of the path that `executablePath`
// gives, asked for only when there is a report to make). Never throws, and returns the exit
// code: always 0.
int RunToTheEnd(const std::function<void()>& program, const FailureReporter& report,
                const std::function<std::u16string()>& executablePath, char16_t separator) noexcept;

// Starts the application, creates the main window (and with it the whole run) and runs the
// message loop until the end. A failure anywhere, also before the main window exists or after
// the loop, is reported like any other and ends the program. Returns the exit code: always 0.
int RunProgram(std::uint32_t watchdogInterval) noexcept;

}  // namespace qelo
