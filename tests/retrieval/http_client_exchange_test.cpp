// What the fetch makes of each server over a real connection: each framing and a failure status
// once (the reader's rules are the response reader's tables), and servers that misbehave on
// purpose (silence, trickles, endless bodies). Every fetch must end within its short limits with
// the fetch's own message or the body, over one connection, and the response buffer must never
// hold more than its cap.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/retrieval/http_client_testing.h"
#include "tests/support/case_name.h"

namespace qelo::test {
namespace {

constexpr std::size_t kCap = 1u << 20;
// Every case must be over well before this, limits and loopback slack included.
constexpr std::chrono::milliseconds kCaseBound = 3s;

std::string Ok(const std::string& headers) { return "HTTP/1.1 200 OK\r\n" + headers + "\r\n"; }

std::vector<Step> Trickle(std::string head, int bytes, std::chrono::milliseconds interval) {
  std::vector<Step> script{Step::AwaitRequest(), Step::Send(std::move(head))};
  for (int i = 0; i < bytes; ++i) {
    script.push_back(Step::Pause(interval));
    script.push_back(Step::Send("a"));
  }
  return script;
}

std::vector<Step> RespondThenFlood(std::string head, std::string piece) {
  return {Step::AwaitRequest(), Step::Send(std::move(head)),
          Step::Flood(std::move(piece), 64u << 20)};
}

struct ExchangeCase {
  const char* name;
  std::vector<Step> script;
  std::optional<std::u16string> failure;  // nullopt: the fetch succeeds
  std::string body;                       // the buffer afterwards (empty after any failure)
  int statusCode = 0;                     // carried by a status failure
  std::chrono::milliseconds atLeast{0};   // a time limit the fetch must have waited out
};

class Exchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Exchange, EndsInTimeWithItsMessageAndABoundedBuffer) {
  const ExchangeCase& c = GetParam();
  ScriptServer server(c.script, 2);
  const FetchOutcome outcome = Fetch(server.Address(), kShortLimits, kCap);
  EXPECT_EQ(outcome.failure, c.failure);
  EXPECT_EQ(outcome.body, c.body);
  EXPECT_EQ(outcome.statusCode, c.statusCode);
  EXPECT_LE(outcome.capacity, kCap);
  EXPECT_LT(outcome.took, kCaseBound);
  EXPECT_GE(outcome.took, c.atLeast);
  // One request per fetch, whatever the status: a redirect is never followed.
  EXPECT_EQ(server.AcceptedCount(), 1u);
}

const std::string kBlock(16384, 'z');
const std::string kChunkedPiece = "4000\r\n" + std::string(16384, 'c') + "\r\n";
const ExchangeCase kFramings[] = {
    {"ContentLength", Answer(Ok("Content-Length: 5\r\n") + "hello", Step::HoldOpen(1s)),
     std::nullopt, "hello"},
    {"ContentLengthSentInPieces",
     {Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\nContent-Le"), Step::Pause(20ms),
      Step::Send("ngth: 11\r\n\r\nhello"), Step::Pause(20ms), Step::Send(" world"),
      Step::HoldOpen(1s)},
     std::nullopt,
     "hello world"},
    {"Chunked",
     Answer(Ok("Transfer-Encoding: chunked\r\n") + "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\n\r\n",
            Step::HoldOpen(1s)),
     std::nullopt, "hello world"},
    {"UntilTheClose",
     {Step::AwaitRequest(), Step::Send(Ok("") + "every byte"), Step::Pause(20ms),
      Step::Send(" up to the close"), Step::Close()},
     std::nullopt,
     "every byte up to the close"},
};
INSTANTIATE_TEST_SUITE_P(Framings, Exchange, ::testing::ValuesIn(kFramings), CaseName);

const ExchangeCase kStatuses[] = {
    {"MovedPermanently",
     Answer("HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1/\r\n"
            "Content-Length: 4\r\n\r\nmove",
            Step::HoldOpen(1s)),
     u"HTTP/1.1 301 Moved Permanently", "", 301},
    {"NotFoundBodyStaysOut",
     Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!", Step::HoldOpen(1s)),
     u"HTTP/1.1 404 Not Found", "", 404},
};
INSTANTIATE_TEST_SUITE_P(Statuses, Exchange, ::testing::ValuesIn(kStatuses), CaseName);

const ExchangeCase kSilences[] = {
    {"AcceptsAndSaysNothing", {Step::HoldOpen(5s)}, u"Read timed out.", ""},
    // One wait of 300 ms, and the exchange's 1500 ms.
    {"ReadsTheRequestAndSaysNothing",
     {Step::AwaitRequest(), Step::HoldOpen(5s)},
     u"Read timed out.",
     "",
     0,
     290ms},
    {"StopsInsideTheHead", Answer("HTTP/1.1 200 OK\r\nContent-Le", Step::HoldOpen(5s)),
     u"Read timed out.", ""},
    {"StopsInsideTheBody", Answer(Ok("Content-Length: 9\r\n") + "part", Step::HoldOpen(5s)),
     u"Read timed out.", ""},
    {"TricklesTheHeadOneBytePerInterval", Trickle("HTTP/1.1 200 OK\r\nX-Slow: ", 200, 50ms),
     u"Read timed out.", ""},
    {"TricklesTheBodyOneBytePerInterval", Trickle(Ok("Content-Length: 1000\r\n"), 200, 50ms),
     u"Read timed out.", ""},
    {"TricklesABodyWithoutLength", Trickle(Ok(""), 200, 50ms), u"Read timed out.", "", 0, 1490ms},
};
INSTANTIATE_TEST_SUITE_P(Silence, Exchange, ::testing::ValuesIn(kSilences), CaseName);

// A body without end is cut off at the buffer's limit whatever its framing.
const ExchangeCase kEndlessBodies[] = {
    {"WithAHugeLength", RespondThenFlood(Ok("Content-Length: 1099511627776\r\n"), kBlock),
     u"Response too large.", ""},
    {"WithoutLength", RespondThenFlood(Ok(""), kBlock), u"Response too large.", ""},
    {"Chunked", RespondThenFlood(Ok("Transfer-Encoding: chunked\r\n"), kChunkedPiece),
     u"Response too large.", ""},
    {"ChunkSizeOf16HexDigits",
     RespondThenFlood(Ok("Transfer-Encoding: chunked\r\n") + "7FFFFFFFFFFFFFFF\r\n", kBlock),
     u"Response too large.", ""},
};
INSTANTIATE_TEST_SUITE_P(EndlessBodies, Exchange, ::testing::ValuesIn(kEndlessBodies), CaseName);

// The connection's fate after an exchange, seen from the server.
struct ClosingCase {
  const char* name;
  std::string response;
  bool closedAtOnce;
};

class FetchClosingRule : public ::testing::TestWithParam<ClosingCase> {};

TEST_P(FetchClosingRule, AppliesWhateverTheStatus) {
  ScriptServer server({Step::AwaitRequest(), Step::Send(GetParam().response), Step::HoldOpen(5s)});
  {
    HttpClient client;
    FetchWith(client, server.Address());
    EXPECT_EQ(server.WaitClientClosed(0, GetParam().closedAtOnce ? 2s : 200ms),
              GetParam().closedAtOnce);
  }
  // Releasing the client closes a connection that was left open.
  EXPECT_TRUE(server.WaitClientClosed(0, 2s));
}

const ClosingCase kResponses[] = {
    {"ConnectionClose", Ok("Connection: close\r\nContent-Length: 2\r\n") + "ok", true},
    {"ConnectionCloseAnyCaseTrimmed", Ok("connection:  CLOSE \r\nContent-Length: 2\r\n") + "ok",
     true},
    {"ProxyConnectionClose", Ok("Proxy-Connection: close\r\nContent-Length: 0\r\n"), true},
    {"StatusFailureWithClose",
     "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Length: 0\r\n\r\n", true},
    {"KeepAliveByDefault", Ok("Content-Length: 2\r\n") + "ok", false},
    {"ConnectionKeepAlive", Ok("Connection: keep-alive\r\nContent-Length: 2\r\n") + "ok", false},
    {"StatusFailureKeepsItOpen", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false},
};
INSTANTIATE_TEST_SUITE_P(Responses, FetchClosingRule, ::testing::ValuesIn(kResponses), CaseName);

TEST(FetchClosingRule, NextFetchClosesTheIdleConnectionFirst) {
  ScriptServer server(Answer(Ok("Content-Length: 2\r\n") + "ok", Step::HoldOpen(5s)), 2);
  HttpClient client;
  EXPECT_EQ(FetchWith(client, server.Address()).body, "ok");
  EXPECT_EQ(FetchWith(client, server.Address()).body, "ok");
  EXPECT_TRUE(server.WaitClientClosed(0, 2s));
  EXPECT_FALSE(server.Record(1).clientClosed);
}

}  // namespace
}  // namespace qelo::test
