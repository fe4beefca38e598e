#include <windows.h>

#include "app/command_line_argument.h"
#include "app/program.h"
#include "platform/text_win32.h"

// Windows passes the whole command line as one text; the city is its argument 1. The show mode
// of the starter is not looked at: no window of the program is ever shown.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return qelo::RunProgram(
      qelo::GetCommandLineArgument(qelo::platform::FromWide(GetCommandLineW()), 1),
      qelo::kWatchdogInterval);
}
