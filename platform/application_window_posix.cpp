#include <signal.h>
#include <unistd.h>

#include "platform/application_window.h"

namespace qelo::platform {
namespace {

// The counterpart of logging off: end at once with 0. Only _exit is async-signal-safe here.
extern "C" void EndAtOnce(int) { _exit(0); }

void HandleEndSignals() {
  struct sigaction action {};
  action.sa_handler = EndAtOnce;
  sigemptyset(&action.sa_mask);
  sigset_t ends;
  sigemptyset(&ends);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    sigaction(signal, &action, nullptr);
    sigaddset(&ends, signal);
  }
  // A starter may hand its blocked signals down; these must reach the handler.
  sigprocmask(SIG_UNBLOCK, &ends, nullptr);
  // A report to a standard error whose reader has gone is lost, and the program goes on.
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace

// POSIX has no native windows: neither class holds anything of its own.
struct ApplicationWindow::Native {};
struct FormWindow::Native {};

ApplicationWindow::ApplicationWindow() { HandleEndSignals(); }
ApplicationWindow::~ApplicationWindow() = default;
void* ApplicationWindow::Handle() noexcept { return nullptr; }

FormWindow::FormWindow(const std::u16string&, int, int) {}
FormWindow::~FormWindow() = default;

}  // namespace qelo::platform
