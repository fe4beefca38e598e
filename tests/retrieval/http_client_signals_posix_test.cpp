// Signals that interrupt the fetch's waits must not end it: the wait goes on with its time left.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>

#include <atomic>

#include "tests/retrieval/http_client_testing.h"

namespace qelo::test {
namespace {

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

  EXPECT_FALSE(outcome.failure.has_value()) << platform::ToUtf8(outcome.failure.value_or(u""));
  EXPECT_EQ(outcome.body, "helloworld");
  EXPECT_GT(interruptions.load(), 5);
}

}  // namespace
}  // namespace qelo::test
