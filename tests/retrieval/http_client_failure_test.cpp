// Failures of the fetch over real sockets (the time limits of the connect and of a send among
// them; those of the reads are in the exchange table), and the words of each end of a connection.

#include <gtest/gtest.h>

#include "retrieval/end_message.h"
#include "tests/retrieval/http_client_testing.h"
#include "tests/support/loopback_socket.h"

namespace qelo::test {
namespace {

constexpr char16_t kResetMessage[] = u"Socket Error # 10054\r\nConnection reset by peer.";

TEST(FetchFailure, RefusedConnection) {
  std::uint16_t port = 0;
  {
    platform::SocketLibrary library;
    test::LoopbackListener listener(0);
    port = listener.Port();
  }
  const FetchOutcome outcome = Fetch(u"http://127.0.0.1:" + Decimal(port) + u"/x");
  EXPECT_EQ(outcome.failure, u"Socket Error # 10061\r\nConnection refused.");
}

TEST(FetchFailure, HostThatDoesNotExist) {
  const FetchOutcome outcome = Fetch(u"http://qelo-no-such-host.invalid/weather/1.shtml");
  EXPECT_EQ(outcome.failure, u"Socket Error # 11001\r\nHost not found.");
}

// The resolver would take the name up to its NUL: here "localhost", a host that answers.
TEST(FetchFailure, HostWithANulInsideIsNotFound) {
  const std::u16string address(u"http://localhost\0.invalid/weather/1.shtml", 41);
  EXPECT_EQ(Fetch(address).failure, u"Socket Error # 11001\r\nHost not found.");
}

// A reset where the status line is awaited and nothing of it has come gives the socket
// message; inside a body, one with a length or one up to the close, it fails the fetch too:
// part of a page is no page. Where the sockets report a reset as an orderly close (Wine), the
// short body with a length fails as a close and the one without a length ends at it.
TEST(FetchFailure, ResetBeforeTheResponseOrInsideABodyFails) {
  const bool resetIsClose = ResetReadsAsOrderlyClose();
  struct Case {
    std::string response;
    std::optional<std::u16string> failureWhereResetIsClose;
  };
  const Case cases[] = {
      {"", u"Connection Closed Gracefully."},
      {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nten bytes.",
       u"Connection Closed Gracefully."},
      {"HTTP/1.1 200 OK\r\n\r\npartial", std::nullopt},
  };
  for (const Case& c : cases) {
    ScriptServer server(
        {Step::AwaitRequest(), Step::Send(c.response), Step::Pause(100ms), Step::Reset()});
    const FetchOutcome outcome = Fetch(server.Address(), kShortLimits);
    const auto expected = resetIsClose ? c.failureWhereResetIsClose : kResetMessage;
    EXPECT_EQ(outcome.failure, expected) << c.response;
    EXPECT_EQ(outcome.body, expected ? "" : "partial") << c.response;
  }
}

TEST(FetchLimits, ConnectEndsWhenTheServerNeverAnswers) {
  // A listener whose queue is full drops further connection requests, so a connect to it waits
  // until the limit. Filler connections go in until one of them no longer gets through.
  platform::SocketLibrary library;
  test::LoopbackListener listener(0, 0);
  const platform::Ipv4Address loopback{{127, 0, 0, 1}};
  std::vector<platform::Socket> fillers(16);
  bool full = false;
  for (std::size_t i = 0; i < fillers.size() && !full; ++i) {
    full = fillers[i].Connect(loopback, listener.Port(), 200ms).kind != platform::SocketEnd::kNone;
  }
  if (!full) GTEST_SKIP() << "this system accepts connections past a full listen queue";

  const FetchOutcome outcome =
      Fetch(u"http://127.0.0.1:" + Decimal(listener.Port()) + u"/", {.connect = 300ms});
  EXPECT_EQ(outcome.failure, u"Connect timed out.");
  EXPECT_GE(outcome.took, 290ms);
  EXPECT_LT(outcome.took, 2s);
}

// A peer that accepts and never reads fills the buffers on both sides; the next wait for room
// must end within its bound (Windows too, where the socket stays non-blocking for this).
TEST(FetchLimits, APeerThatNeverReadsCannotHoldASendPastItsBound) {
  platform::SocketLibrary library;
  test::LoopbackListener listener(0);
  platform::Socket socket;
  ASSERT_EQ(socket.Connect({{127, 0, 0, 1}}, listener.Port(), 2s), platform::SocketEnd{});
  const PeerSocket silent = listener.Accept(2s);
  const std::vector<std::uint8_t> bytes(std::size_t{64} << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(EndMessage(socket.SendAll(bytes.data(), bytes.size(), 300ms)),
            u"Socket Error # 10060\r\nConnection timed out.");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 290ms);
  EXPECT_LT(took, 5s);
}

TEST(FetchFailure, AFailedReadClosesTheConnection) {
  ScriptServer server({Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\n"),
                       Step::Send(std::string(20000, 'h')), Step::HoldOpen(5s)});
  HttpClient client;
  EXPECT_EQ(FetchWith(client, server.Address()).failure, u"Max line length exceeded.");
  EXPECT_TRUE(server.WaitClientClosed(0, 2s));
}

platform::SocketEnd FailedWith(int code) { return {platform::SocketEnd::kFailed, code}; }

// Each text of the table ends with a full stop, but that of 10066; a code without a text ends
// with the line break.
TEST(EndMessage, OfEachEnd) {
  const std::pair<platform::SocketEnd, std::u16string> cases[] = {
      {{platform::SocketEnd::kClosed}, u"Connection Closed Gracefully."},
      {{platform::SocketEnd::kTimedOut}, u"Read timed out."},
      {FailedWith(10054), kResetMessage},
      {FailedWith(10061), u"Socket Error # 10061\r\nConnection refused."},
      {FailedWith(11001), u"Socket Error # 11001\r\nHost not found."},
      {FailedWith(10004), u"Socket Error # 10004\r\nInterrupted system call."},
      {FailedWith(10066), u"Socket Error # 10066\r\nDirectory not empty"},
      {FailedWith(10047),
       u"Socket Error # 10047\r\nAddress family not supported by protocol family."},
      {FailedWith(-1), u"Socket Error # -1\r\n"},
  };
  for (const auto& [end, message] : cases) EXPECT_EQ(EndMessage(end), message);
  int withText = 0;
  for (int code = 0; code <= 12345; ++code) {
    const std::u16string message = EndMessage(FailedWith(code));
    const std::u16string prefix = u"Socket Error # " + Decimal(code) + u"\r\n";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    if (message.size() == prefix.size()) continue;
    ++withText;
    EXPECT_EQ(message.back() == u'.', code != 10066) << code;
  }
  EXPECT_EQ(withText, 39);
}

}  // namespace
}  // namespace qelo::test
