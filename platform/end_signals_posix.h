#pragma once
// The POSIX counterpart of the Windows session's end, set up once for the whole process by main.

#include <signal.h>

namespace qelo::platform {

// The signals with which a session ends a program.
inline constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// SIGTERM, SIGINT and SIGHUP each end the program at once with exit code 0, also while a fetch
// blocks, as logging off ends it on Windows; a broken standard error no longer ends it.
void HandleEndSignals();

}  // namespace qelo::platform
