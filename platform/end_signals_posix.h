#pragma once
// The POSIX counterpart of the Windows session's end, set up once for the whole process by main.

#include <signal.h>

namespace qelo::platform {

// SIGTERM, SIGINT and SIGHUP each end the program at once with exit code 0, also while a fetch
// blocks, as logging off ends it on Windows; a broken standard error no longer ends it.
void HandleEndSignals();

// Holds those signals back while it lives, so that what exists only for a moment (a temporary
// file) is gone before they end the program.
class EndSignalsHeld {
 public:
  EndSignalsHeld();
  ~EndSignalsHeld();
  EndSignalsHeld(const EndSignalsHeld&) = delete;
  EndSignalsHeld& operator=(const EndSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace qelo::platform
