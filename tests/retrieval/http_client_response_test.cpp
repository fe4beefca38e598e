// Responses over a real connection: the framings and statuses end to end, and what becomes of
// the connection afterwards.

#include <gtest/gtest.h>

#include "tests/retrieval/http_client_testing.h"

namespace qelo::test {
namespace {

struct ResponseCase {
  const char* name;
  std::vector<Step> afterRequest;  // what the server does once the request has arrived
  std::string body;
  std::optional<std::u16string> failure;
  int statusCode = 0;
};

ResponseCase Succeeds(const char* name, std::vector<Step> steps, std::string body) {
  return {name, std::move(steps), std::move(body), std::nullopt, 0};
}

ResponseCase FailsWithStatus(const char* name, std::vector<Step> steps, std::u16string line,
                             int code) {
  return {name, std::move(steps), "", std::move(line), code};
}

class FetchResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(FetchResponse, EndToEnd) {
  const ResponseCase& c = GetParam();
  std::vector<Step> script{Step::AwaitRequest()};
  script.insert(script.end(), c.afterRequest.begin(), c.afterRequest.end());
  ScriptServer server(script, 2);

  const FetchOutcome outcome = Fetch(server.Address());

  EXPECT_EQ(outcome.failure, c.failure);
  EXPECT_EQ(outcome.statusCode, c.statusCode);
  EXPECT_EQ(outcome.body, c.body);
  // One request per fetch, whatever the status: a redirect is never followed.
  EXPECT_EQ(server.AcceptedCount(), 1u);
  EXPECT_EQ(server.Record(0).received,
            ExpectedHead("/weather/101230101.shtml", LoopbackHost(server)));
}

INSTANTIATE_TEST_SUITE_P(
    Framings, FetchResponse,
    ::testing::Values(
        Succeeds("ContentLength",
                 {Step::Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"),
                  Step::HoldOpen(1s)},
                 "hello"),
        Succeeds("ContentLengthSentInPieces",
                 {Step::Send("HTTP/1.1 200 OK\r\nContent-Le"), Step::Pause(20ms),
                  Step::Send("ngth: 11\r\n\r\nhello"), Step::Pause(20ms), Step::Send(" world"),
                  Step::HoldOpen(1s)},
                 "hello world"),
        Succeeds("ShortContentLengthEndsAtTheClose",
                 {Step::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n123456"), Step::Close()},
                 "123456"),
        Succeeds("Chunked",
                 {Step::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"),
                  Step::HoldOpen(1s)},
                 "hello world"),
        Succeeds("UntilTheClose",
                 {Step::Send("HTTP/1.1 200 OK\r\n\r\nevery byte"), Step::Pause(20ms),
                  Step::Send(" up to the close"), Step::Close()},
                 "every byte up to the close"),
        Succeeds("UntilAReset",
                 {Step::Send("HTTP/1.1 200 OK\r\n\r\nbody"), Step::Pause(50ms), Step::Reset()},
                 "body"),
        Succeeds("NoContent", {Step::Send("HTTP/1.1 204 No Content\r\n\r\n"), Step::HoldOpen(1s)},
                 ""),
        Succeeds("InterimContinueSkipped",
                 {Step::Send("HTTP/1.1 100 Continue\r\n\r\n"), Step::Pause(20ms),
                  Step::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), Step::HoldOpen(1s)},
                 "ok")),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Statuses, FetchResponse,
    ::testing::Values(
        FailsWithStatus("MovedPermanently",
                        {Step::Send("HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1/"
                                    "\r\nContent-Length: 4\r\n\r\nmove"),
                         Step::HoldOpen(1s)},
                        u"HTTP/1.1 301 Moved Permanently", 301),
        FailsWithStatus("FoundWithoutBody",
                        {Step::Send("HTTP/1.1 302 Found\r\nLocation: /weather/other.shtml\r\n"
                                    "Content-Length: 0\r\n\r\n"),
                         Step::HoldOpen(1s)},
                        u"HTTP/1.1 302 Found", 302),
        FailsWithStatus("NotFoundBodyStaysOut",
                        {Step::Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!"),
                         Step::HoldOpen(1s)},
                        u"HTTP/1.1 404 Not Found", 404),
        FailsWithStatus("ServerErrorUntilClose",
                        {Step::Send("HTTP/1.1 500 Oops \xE9\r\n\r\nbroken"), Step::Close()},
                        u"HTTP/1.1 500 Oops \uFFFD", 500),
        FailsWithStatus("NoStatusNumber",
                        {Step::Send("HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n"),
                         Step::HoldOpen(1s)},
                        u"HTTP/1.1 OK", -1)),
    [](const auto& info) { return std::string(info.param.name); });

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

INSTANTIATE_TEST_SUITE_P(
    Responses, FetchClosingRule,
    ::testing::Values(
        ClosingCase{"ConnectionClose",
                    "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", true},
        ClosingCase{"ConnectionCloseAnyCaseTrimmed",
                    "HTTP/1.1 200 OK\r\nconnection:  CLOSE \r\nContent-Length: 2\r\n\r\nok", true},
        ClosingCase{"ProxyConnectionClose",
                    "HTTP/1.1 200 OK\r\nProxy-Connection: close\r\nContent-Length: 0\r\n\r\n",
                    true},
        ClosingCase{"StatusFailureWithClose",
                    "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Length: 0\r\n\r\n",
                    true},
        ClosingCase{"KeepAliveByDefault", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false},
        ClosingCase{"ConnectionKeepAlive",
                    "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: 2\r\n\r\nok",
                    false},
        ClosingCase{"StatusFailureKeepsItOpen",
                    "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchClosingRule, NextFetchClosesTheIdleConnectionFirst) {
  ScriptServer server(
      {Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
       Step::HoldOpen(5s)},
      2);
  HttpClient client;
  EXPECT_EQ(FetchWith(client, server.Address()).body, "ok");
  EXPECT_EQ(FetchWith(client, server.Address()).body, "ok");
  EXPECT_TRUE(server.WaitClientClosed(0, 2s));
  EXPECT_FALSE(server.Record(1).clientClosed);
}

}  // namespace
}  // namespace qelo::test
