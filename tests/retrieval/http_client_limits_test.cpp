// The time limits of the fetch, with short limits so that each case takes a fraction of a second.

#include <gtest/gtest.h>

#include "platform/socket.h"
#include "tests/retrieval/http_client_testing.h"
#include "tests/support/loopback_listener.h"

namespace qelo::test {
namespace {

TEST(FetchLimits, SilentServerEndsAfterOneWait) {
  ScriptServer server({Step::AwaitRequest(), Step::HoldOpen(5s)});
  const FetchOutcome outcome = Fetch(server.Address(), {.eachWait = 200ms});
  EXPECT_EQ(outcome.failure, u"Read timed out.");
  EXPECT_GE(outcome.took, 190ms);
  EXPECT_LT(outcome.took, 2s);
  EXPECT_TRUE(server.WaitClientClosed(0, 2s));
}

TEST(FetchLimits, TrickleEndsAtTheExchangeLimit) {
  std::vector<Step> script{Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\n\r\n")};
  for (int i = 0; i < 60; ++i) {
    script.push_back(Step::Pause(40ms));
    script.push_back(Step::Send("x"));
  }
  ScriptServer server(script);
  const FetchOutcome outcome = Fetch(server.Address(), {.eachWait = 300ms, .exchange = 600ms});
  EXPECT_EQ(outcome.failure, u"Read timed out.");
  EXPECT_EQ(outcome.body, "");
  EXPECT_GE(outcome.took, 590ms);
  EXPECT_LT(outcome.took, 2s);
}

TEST(FetchLimits, ConnectEndsWhenTheServerNeverAnswers) {
  // A listener whose queue is full drops further connection requests, so a connect to it waits
  // until the limit. Filler connections go in until one of them no longer gets through.
  platform::SocketLibrary library;
  test::LoopbackListener listener(0);
  const platform::Ipv4Address loopback{{127, 0, 0, 1}};
  std::vector<platform::Socket> fillers;
  bool full = false;
  for (int i = 0; i < 16 && !full; ++i) {
    try {
      fillers.push_back(platform::Socket::Connect(loopback, listener.Port(), 200ms));
    } catch (const platform::ConnectTimeout&) {
      full = true;
    }
  }
  if (!full) GTEST_SKIP() << "this system accepts connections past a full listen queue";

  const FetchOutcome outcome =
      Fetch(u"http://127.0.0.1:" + platform::FromUtf8(std::to_string(listener.Port())) + u"/",
            {.connect = 300ms});
  EXPECT_EQ(outcome.failure, u"Connect timed out.");
  EXPECT_GE(outcome.took, 290ms);
  EXPECT_LT(outcome.took, 2s);
}

}  // namespace
}  // namespace qelo::test
