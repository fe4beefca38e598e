#include "platform/end_signals_posix.h"

#include <unistd.h>

namespace qelo::platform {
namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only _exit is async-signal-safe here.
extern "C" void EndAtOnce(int) { _exit(0); }

sigset_t EndSignals() {
  sigset_t ends;
  sigemptyset(&ends);
  for (const int signal : kEndSignals) sigaddset(&ends, signal);
  return ends;
}

}  // namespace

void HandleEndSignals() {
  struct sigaction action {};
  action.sa_handler = EndAtOnce;
  sigemptyset(&action.sa_mask);
  const sigset_t ends = EndSignals();
  for (const int signal : kEndSignals) sigaction(signal, &action, nullptr);
  // A starter may hand its blocked signals down; these must reach the handler.
  sigprocmask(SIG_UNBLOCK, &ends, nullptr);
  // A report to a standard error whose reader has gone is lost, and the program goes on.
  signal(SIGPIPE, SIG_IGN);
}

EndSignalsHeld::EndSignalsHeld() {
  const sigset_t ends = EndSignals();
  sigprocmask(SIG_BLOCK, &ends, &previous_);
}

EndSignalsHeld::~EndSignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace qelo::platform
