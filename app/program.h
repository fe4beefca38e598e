#pragma once
// The program from its start to its end.

#include <cstdint>
#include <string>

namespace qelo {

// The watchdog's interval in the shipped program; the test variant passes a shorter one.
inline constexpr std::uint32_t kWatchdogInterval = 300000;

// Creates the application window and the main window, and with it the whole run for `city`
// (command-line argument 1), then runs the message loop until the end. A failure anywhere, also
// before the main window exists or after the loop, is reported like any other and ends the
// program. Returns the exit code: always 0.
int RunProgram(const std::u16string& city, std::uint32_t watchdogInterval) noexcept;

}  // namespace qelo
