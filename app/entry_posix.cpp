#include "app/program.h"
#include "core/text.h"
#include "platform/end_signals_posix.h"

// POSIX passes the arguments one by one: argument 1, the city, is argv[1] as exec received it,
// byte for byte, whatever argv[0] holds.
int main(int argc, char* argv[]) {
  qelo::platform::HandleEndSignals();
  return qelo::RunProgram(qelo::FromUtf8(argc > 1 ? argv[1] : ""), qelo::kWatchdogInterval);
}
