// The test variant of the program: what the shipped entry point does, with a watchdog that fires
// after the interval the tests are built with, so that the end after a failure is seen in seconds.
#include "app/program.h"
#include "core/text.h"
#include "platform/end_signals_posix.h"

int main(int argc, char* argv[]) {
  qelo::platform::HandleEndSignals();
  return qelo::RunProgram(qelo::FromUtf8(argc > 1 ? argv[1] : ""), QELO_SHORT_WATCHDOG_MS);
}
