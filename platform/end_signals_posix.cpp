#include "platform/end_signals_posix.h"

#include <signal.h>
#include <unistd.h>

namespace qelo::platform {
namespace {

// Only _exit is async-signal-safe here.
extern "C" void EndAtOnce(int) { _exit(0); }

}  // namespace

void HandleEndSignals() {
  struct sigaction action {};
  action.sa_handler = EndAtOnce;
  sigemptyset(&action.sa_mask);
  sigset_t ends;
  sigemptyset(&ends);
  for (const int signal : kEndSignals) {
    sigaction(signal, &action, nullptr);
    sigaddset(&ends, signal);
  }
  // A starter may hand its blocked signals down; these must reach the handler.
  sigprocmask(SIG_UNBLOCK, &ends, nullptr);
  // A report to a standard error whose reader has gone is lost, and the program goes on.
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace qelo::platform
