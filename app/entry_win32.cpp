#include <windows.h>

#include "app/frm_main.h"
#include "app/program.h"

// The show mode of the starter is not looked at: no window of the program is ever shown.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return qelo::RunProgram(qelo::kWatchdogInterval);
}
