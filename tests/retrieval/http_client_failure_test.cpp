// Failures of the fetch and their messages, over real sockets.

#include <gtest/gtest.h>

#include "platform/socket.h"
#include "tests/retrieval/http_client_testing.h"
#include "tests/support/loopback_listener.h"

namespace qelo::test {
namespace {

TEST(FetchFailure, RefusedConnection) {
  std::uint16_t port = 0;
  {
    platform::SocketLibrary library;
    test::LoopbackListener listener;
    port = listener.Port();
  }
  const FetchOutcome outcome =
      Fetch(u"http://127.0.0.1:" + platform::FromUtf8(std::to_string(port)) + u"/x");
  EXPECT_EQ(outcome.failure, u"Socket Error # 10061\r\nConnection refused.");
}

// A reset while the status line is awaited and nothing of it has come: the socket message, and
// nothing in the buffer.
TEST(FetchFailure, ResetBeforeAnyByteGivesTheSocketMessage) {
  if (ResetReadsAsOrderlyClose()) GTEST_SKIP() << "these sockets report a reset as a close";
  ScriptServer server({Step::AwaitRequest(), Step::Reset()});
  const FetchOutcome outcome =
      Fetch(server.Address(), {.connect = 2s, .eachWait = 300ms, .exchange = 1500ms});
  EXPECT_EQ(outcome.failure, u"Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(outcome.body, "");
}

TEST(FetchFailure, HostThatDoesNotExist) {
  const FetchOutcome outcome = Fetch(u"http://qelo-no-such-host.invalid/weather/1.shtml");
  EXPECT_EQ(outcome.failure, u"Socket Error # 11001\r\nHost not found.");
}

struct FailureCase {
  const char* name;
  std::vector<Step> afterRequest;
  std::u16string message;
};

class FetchFailsWith : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FetchFailsWith, ItsMessageAndAnEmptyBuffer) {
  std::vector<Step> script{Step::AwaitRequest()};
  script.insert(script.end(), GetParam().afterRequest.begin(), GetParam().afterRequest.end());
  ScriptServer server(script);

  const FetchOutcome outcome = Fetch(server.Address());

  EXPECT_EQ(outcome.failure, GetParam().message);
  EXPECT_EQ(outcome.body, "");
  EXPECT_LT(outcome.took, 5s);
}

const std::string kBlock(65536, 'x');

std::string ChunkedPiece() {
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", kBlock.size());
  return size + kBlock + "\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Peers, FetchFailsWith,
    ::testing::Values(
        FailureCase{"AcceptAndClose", {Step::Close()}, u"Connection Closed Gracefully."},
        FailureCase{"ResetInsideTheStatusLine",
                    {Step::Send("HTTP/1.1 20"), Step::Pause(50ms), Step::Reset()},
                    u"Connection Closed Gracefully."},
        FailureCase{"CloseBeforeTheFirstHeaderLine",
                    {Step::Send("HTTP/1.1 200 OK\r\n"), Step::Close()},
                    u"Connection Closed Gracefully."},
        FailureCase{"CloseInsideAChunkedBody",
                    {Step::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                "a\r\nhello"),
                     Step::Close()},
                    u"Connection Closed Gracefully."},
        FailureCase{
            "HeaderLineOf20000Bytes",
            {Step::Send("HTTP/1.1 200 OK\r\nX-Long: " + std::string(20000, 'a') + "\r\n\r\n"),
             Step::HoldOpen(2s)},
            u"Max line length exceeded."}),
    [](const auto& info) { return std::string(info.param.name); });

// A body without end is cut off at the buffer's limit whatever its framing.
INSTANTIATE_TEST_SUITE_P(
    EndlessBodies, FetchFailsWith,
    ::testing::Values(
        FailureCase{"WithContentLength",
                    {Step::Send("HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\n"),
                     Step::Flood(kBlock, 64u << 20)},
                    u"Response too large."},
        FailureCase{"UntilTheClose",
                    {Step::Send("HTTP/1.1 200 OK\r\n\r\n"), Step::Flood(kBlock, 64u << 20)},
                    u"Response too large."},
        FailureCase{"Chunked",
                    {Step::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
                     Step::Flood(ChunkedPiece(), 64u << 20)},
                    u"Response too large."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchFailure, BodyOfExactlyTheLimitStillFits) {
  const std::string body(kMaxResponseBytes, 'b');
  ScriptServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\n\r\n" + body));
  const FetchOutcome outcome = Fetch(server.Address());
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.body.size(), body.size());
}

TEST(FetchFailure, AFailedReadClosesTheConnection) {
  ScriptServer server({Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\n"),
                       Step::Send(std::string(20000, 'h')), Step::HoldOpen(5s)});
  HttpClient client;
  EXPECT_EQ(FetchWith(client, server.Address()).failure, u"Max line length exceeded.");
  EXPECT_TRUE(server.WaitClientClosed(0, 2s));
}

}  // namespace
}  // namespace qelo::test
