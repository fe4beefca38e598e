// The test variant of the program: what the shipped entry point does, with a watchdog that fires
// after the interval the tests are built with, so that the end after a failure is seen in seconds.
#include <windows.h>

#include "app/command_line_argument.h"
#include "app/program.h"
#include "platform/text_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return qelo::RunProgram(
      qelo::GetCommandLineArgument(qelo::platform::FromWide(GetCommandLineW()), 1),
      QELO_SHORT_WATCHDOG_MS);
}
