// The test variant of the program: the shipped core, with a watchdog that fires after the
// interval the tests are built with, so that the end after a failure is seen in seconds.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return qelo::RunProgram(QELO_SHORT_WATCHDOG_MS);
}
