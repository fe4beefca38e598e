// Servers that misbehave on purpose: silence, trickles, endless bodies, oversized and
// conflicting framing, resets, garbage. Every fetch must end within its short limits with the
// fetch's own message (or succeed as the framing rules say), and the response buffer must never
// hold more than its cap.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/failure.h"
#include "retrieval/http_client.h"
#include "retrieval/response_buffer.h"
#include "tests/support/script_server.h"

namespace qelo::test {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kCap = 1u << 20;
constexpr FetchLimits kShortLimits{.connect = 2s, .eachWait = 300ms, .exchange = 1500ms};
// Every case must be over well before this, limits and loopback slack included.
constexpr std::chrono::milliseconds kCaseBound = 3s;

struct Outcome {
  std::optional<std::u16string> failure;
  std::string body;
  std::size_t capacity = 0;
  std::u16string text;
  std::chrono::milliseconds took{0};
};

Outcome FetchFrom(const ScriptServer& server) {
  Outcome outcome;
  ResponseBuffer buffer(kCodePageUtf8, kCap);
  HttpClient client(kShortLimits);
  const auto start = std::chrono::steady_clock::now();
  try {
    client.FetchPage(server.Address(), buffer);
  } catch (const Failure& failure) {
    outcome.failure = failure.Message();
  }
  outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  outcome.body.assign(buffer.Bytes().begin(), buffer.Bytes().end());
  outcome.capacity = buffer.Bytes().capacity();
  outcome.text = buffer.Text();
  return outcome;
}

std::string Ok(const std::string& headers) { return "HTTP/1.1 200 OK\r\n" + headers + "\r\n"; }

std::vector<Step> Trickle(std::string head, int bytes, std::chrono::milliseconds interval) {
  std::vector<Step> script{Step::AwaitRequest(), Step::Send(std::move(head))};
  for (int i = 0; i < bytes; ++i) {
    script.push_back(Step::Pause(interval));
    script.push_back(Step::Send("a"));
  }
  return script;
}

std::vector<Step> Respond(std::string response, Step last = Step::Close()) {
  return {Step::AwaitRequest(), Step::Send(std::move(response)), last};
}

std::vector<Step> RespondThenFlood(std::string head, std::string piece) {
  return {Step::AwaitRequest(), Step::Send(std::move(head)),
          Step::Flood(std::move(piece), 64u << 20)};
}

std::string ManyHeaderLines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "X-Line-" + std::to_string(i) + ": v\r\n";
  return lines;
}

struct HostileCase {
  const char* name;
  std::vector<Step> script;
  std::optional<std::u16string> failure;  // nullopt: the fetch succeeds
  std::string body;                       // the buffer afterwards (empty after any failure)
};

class HostileServer : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileServer, EndsInTimeWithItsMessageAndABoundedBuffer) {
  const HostileCase& c = GetParam();
  ScriptServer server(c.script);
  const Outcome outcome = FetchFrom(server);
  EXPECT_EQ(outcome.failure, c.failure);
  EXPECT_EQ(outcome.body, c.body);
  EXPECT_LE(outcome.capacity, kCap);
  EXPECT_LT(outcome.took, kCaseBound);
  EXPECT_EQ(server.AcceptedCount(), 1u) << "one connection, one request";
}

const std::string kBlock(16384, 'z');
const std::string kChunkedPiece = "4000\r\n" + std::string(16384, 'c') + "\r\n";
const std::string kGzipHello(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xcb\x48\xcd\xc9\xc9\x07"
    "\x00\x86\xa6\x10\x36\x05\x00\x00\x00",
    25);

INSTANTIATE_TEST_SUITE_P(
    Silence, HostileServer,
    ::testing::Values(
        HostileCase{"AcceptsAndSaysNothing", {Step::HoldOpen(5s)}, u"Read timed out.", ""},
        HostileCase{"ReadsTheRequestAndSaysNothing",
                    {Step::AwaitRequest(), Step::HoldOpen(5s)},
                    u"Read timed out.",
                    ""},
        HostileCase{
            "StopsInsideTheHead",
            {Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\nContent-Le"), Step::HoldOpen(5s)},
            u"Read timed out.",
            ""},
        HostileCase{"TricklesTheHeadOneBytePerInterval",
                    Trickle("HTTP/1.1 200 OK\r\nX-Slow: ", 200, 50ms), u"Read timed out.", ""},
        HostileCase{"TricklesTheBodyOneBytePerInterval",
                    Trickle(Ok("Content-Length: 1000\r\n"), 200, 50ms), u"Read timed out.", ""},
        HostileCase{"TricklesABodyWithoutLength", Trickle(Ok(""), 200, 50ms), u"Read timed out.",
                    ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EndlessBodies, HostileServer,
    ::testing::Values(
        HostileCase{"WithAHugeLength",
                    RespondThenFlood(Ok("Content-Length: 1099511627776\r\n"), kBlock),
                    u"Response too large.", ""},
        HostileCase{"WithoutLength", RespondThenFlood(Ok(""), kBlock), u"Response too large.", ""},
        HostileCase{"Chunked",
                    RespondThenFlood(Ok("Transfer-Encoding: chunked\r\n"), kChunkedPiece),
                    u"Response too large.", ""},
        HostileCase{
            "ChunkSizeOf16HexDigits",
            RespondThenFlood(Ok("Transfer-Encoding: chunked\r\n") + "7FFFFFFFFFFFFFFF\r\n", kBlock),
            u"Response too large.", ""},
        HostileCase{"NegativeLengthReadsUpToTheClose",
                    RespondThenFlood(Ok("Content-Length: -5\r\n"), kBlock), u"Response too large.",
                    ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Framing, HostileServer,
    ::testing::Values(
        HostileCase{"HeaderLineOf20000Bytes",
                    Respond(Ok("X-Long: " + std::string(20000, 'a') + "\r\n"), Step::HoldOpen(5s)),
                    u"Max line length exceeded.", ""},
        HostileCase{"StatusLineWithoutEnd", RespondThenFlood("HTTP/1.1 200 ", kBlock),
                    u"Max line length exceeded.", ""},
        // 255 header lines are taken, the next one is dropped, and the rest is the body.
        HostileCase{"ThousandHeaderLines", Respond(Ok(ManyHeaderLines(1000)) + "end"), std::nullopt,
                    ManyHeaderLines(1000).substr(ManyHeaderLines(256).size()) + "\r\nend"},
        HostileCase{"ChunkSizeOfSixteenHexDigitsAndAShortChunk",
                    Respond(Ok("Transfer-Encoding: chunked\r\n") + "7FFFFFFFFFFFFFFF\r\nshort"),
                    u"Connection Closed Gracefully.", ""},
        // A size that does not fit 63 bits is no number, read as 0: the data ends there.
        HostileCase{"ChunkSizeThatOverflows",
                    Respond(Ok("Transfer-Encoding: chunked\r\n") +
                            "3\r\nabc\r\n1FFFFFFFFFFFFFFFF\r\nnever\r\n\r\n"),
                    std::nullopt, "abc"},
        HostileCase{"ChunkSizeOf16FThatOverflows",
                    Respond(Ok("Transfer-Encoding: chunked\r\n") + "FFFFFFFFFFFFFFFF\r\n\r\n"),
                    std::nullopt, ""},
        HostileCase{"NegativeContentLength", Respond(Ok("Content-Length: -1\r\n") + "all of it"),
                    std::nullopt, "all of it"},
        HostileCase{"ContentLengthThatOverflows",
                    Respond(Ok("Content-Length: 99999999999999999999999\r\n") + "up to close"),
                    std::nullopt, "up to close"},
        HostileCase{"HugeContentLengthAndAShortBody",
                    Respond(Ok("Content-Length: 9223372036854775807\r\n") + "short"), std::nullopt,
                    "short"},
        // The first Content-Length line counts, whatever a later one says.
        HostileCase{"ConflictingContentLengths",
                    Respond(Ok("Content-Length: 3\r\nContent-Length: 10\r\n") + "abcdefghij"),
                    std::nullopt, "abc"},
        HostileCase{"ChunkedBeatsContentLength",
                    Respond(Ok("Content-Length: 2\r\nTransfer-Encoding: chunked\r\n") +
                            "5\r\nhello\r\n0\r\n\r\n"),
                    std::nullopt, "hello"}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<Step> SendPauseReset(std::string response) {
  return {Step::AwaitRequest(), Step::Send(std::move(response)), Step::Pause(100ms), Step::Reset()};
}

INSTANTIATE_TEST_SUITE_P(
    Resets, HostileServer,
    ::testing::Values(
        // A reset while body bytes are awaited is a close: the bytes so far are the body.
        HostileCase{"InsideABodyWithLength",
                    SendPauseReset(Ok("Content-Length: 100\r\n") + "ten bytes."), std::nullopt,
                    "ten bytes."},
        HostileCase{"InsideABodyUpToTheClose", SendPauseReset(Ok("") + "partial"), std::nullopt,
                    "partial"},
        HostileCase{"InsideAChunkedBody",
                    SendPauseReset(Ok("Transfer-Encoding: chunked\r\n") + "a\r\nonly"),
                    u"Connection Closed Gracefully.", ""},
        HostileCase{"InsideTheStatusLine", SendPauseReset("HTTP/1.1 2"),
                    u"Connection Closed Gracefully.", ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Garbage, HostileServer,
    ::testing::Values(
        HostileCase{"StatusLineOfGarbage", Respond("garbage\r\n\r\n"), u"garbage", ""},
        HostileCase{"StatusLineOfBinary", Respond(std::string("\x80\xff\x01ok\r\n\r\n", 9)),
                    std::u16string(u"\uFFFD\uFFFD\u0001ok"), ""},
        HostileCase{"NothingButLineFeeds", Respond(std::string(5000, '\n')), std::u16string(), ""},
        HostileCase{"BodyOfNulBytes",
                    Respond(Ok("Content-Length: 1000\r\n") + std::string(1000, '\0')), std::nullopt,
                    std::string(1000, '\0')},
        HostileCase{"GzipBodyDespiteIdentity",
                    Respond(Ok("Content-Encoding: gzip\r\nContent-Length: 25\r\n") + kGzipHello),
                    std::nullopt, kGzipHello}),
    [](const auto& info) { return std::string(info.param.name); });

// What the page text becomes for the bodies that are not text.
TEST(HostileServerText, NulBytesDecodeAsNulCharactersAndGzipAsNothing) {
  ScriptServer nul(Respond(Ok("Content-Length: 4\r\n") + std::string(4, '\0')));
  EXPECT_EQ(FetchFrom(nul).text, std::u16string(4, u'\0'));
  ScriptServer gzip(Respond(Ok("Content-Length: 25\r\n") + kGzipHello));
  EXPECT_EQ(FetchFrom(gzip).text, u"");
}

}  // namespace
}  // namespace qelo::test
