// What only a native build can check: the process's own peak memory under a flood, and signals
// that interrupt the fetch's waits without ending it (each wait goes on with its time left).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>

#include <atomic>
#include <fstream>
#include <string>

#include "tests/retrieval/http_client_testing.h"

namespace qelo::test {
namespace {

// VmHWM of /proc/self/status, in bytes; 0 when it cannot be read.
std::size_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

// A server that floods far more than the response buffer may hold: the fetch must stop at the
// buffer's limit, not take everything in first. Natively each test case runs in a process of
// its own, so the peak belongs to this case.
TEST(HostileServerMemory, AFloodFarBeyondTheLimitLeavesThePeakBelowIt) {
  constexpr std::size_t kFlood = 256u << 20;
  const std::size_t before = PeakResidentBytes();
  if (before == 0) GTEST_SKIP() << "no /proc/self/status";
  {
    ScriptServer server({Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\n\r\n"),
                         Step::Flood(std::string(65536, 'f'), kFlood)});
    ResponseBuffer buffer(kCodePageUtf8);  // the program's own limit
    HttpClient client({.connect = 2s, .eachWait = 2s, .exchange = 20s});
    try {
      client.FetchPage(server.Address(), buffer);
      FAIL() << "a body past the limit was accepted";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.Message(), u"Response too large.");
    }
    EXPECT_TRUE(buffer.Bytes().empty());
  }
  // The limit, the buffer's doubling and, under a sanitizer, its quarantine of freed blocks
  // stay well below what taking in the whole flood would cost.
  const std::size_t grown = PeakResidentBytes() - before;
  EXPECT_LT(grown, 128u << 20) << "peak grew by " << grown << " bytes";
}

std::atomic<int> interruptions{0};

void CountInterruption(int) { ++interruptions; }

TEST(FetchSignals, InterruptedWaitsGoOn) {
  sigset_t alarm;
  sigemptyset(&alarm);
  sigaddset(&alarm, SIGALRM);
  struct sigaction action {};
  action.sa_handler = CountInterruption;  // no SA_RESTART: blocked calls return EINTR
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);

  // The server's thread inherits the blocked signal, so every alarm lands on the fetching thread.
  pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
  ScriptServer server({Step::AwaitRequest(),
                       Step::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n"),
                       Step::Pause(100ms), Step::Send("hello"), Step::Pause(100ms),
                       Step::Send("world"), Step::HoldOpen(2s)});
  pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);

  itimerval every5ms{{0, 5000}, {0, 5000}};
  setitimer(ITIMER_REAL, &every5ms, nullptr);
  const FetchOutcome outcome = Fetch(server.Address(), {.eachWait = 1s});
  itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);

  EXPECT_FALSE(outcome.failure.has_value()) << ToUtf8(outcome.failure.value_or(u""));
  EXPECT_EQ(outcome.body, "helloworld");
  EXPECT_GT(interruptions.load(), 5);
}

}  // namespace
}  // namespace qelo::test
