// Writes the seventeen keys into the file named by argument 1 over and over, alternating
// between two value sets, until it is killed. It writes one byte to standard output once it
// has started, and ends at once on SIGTERM, SIGINT and SIGHUP, as the program does.
#include <signal.h>
#include <unistd.h>

#include "forecastfile/ini_writer.h"
#include "platform/text.h"
#include "tests/forecastfile/alternating_runs.h"

namespace {

void EndAtOnce(int) { _exit(0); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::signal(signal, EndAtOnce);
  qelo::IniWriter writer(qelo::platform::FromUtf8(argv[1]));
  if (::write(STDOUT_FILENO, "r", 1) != 1) return 3;
  for (unsigned round = 1;; ++round) {
    qelo::test::WriteRunAndClose(writer, qelo::test::AlternatingRun(round));
  }
}
