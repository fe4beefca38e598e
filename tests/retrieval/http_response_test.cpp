#include "retrieval/http_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/failure.h"
#include "tests/support/case_name.h"
#include "tests/support/scripted_byte_source.h"

namespace qelo {
namespace {

using test::ScriptedByteSource;

// Reading one scripted response.
struct ReadOutcome {
  HttpResponse response;
  std::string body;                       // what the response buffer holds afterwards
  std::optional<std::u16string> failure;  // the message when the reader threw
  std::size_t largestCapacity = 0;  // of the buffer at any read, reservations for the body made
  std::size_t capacity = 0;         // of the buffer afterwards
};

// Plays `script`, noting the buffer's largest capacity at the reads.
class CapacityWatch : public ByteSource {
 public:
  CapacityWatch(ScriptedByteSource& script, const ResponseBuffer& buffer, std::size_t& largest)
      : script_(script), buffer_(buffer), largest_(largest) {}
  platform::Received Read(std::uint8_t* into, std::size_t capacity) override {
    largest_ = std::max(largest_, buffer_.Bytes().capacity());
    return script_.Read(into, capacity);
  }
  bool WaitReadable(std::chrono::milliseconds wait) override { return script_.WaitReadable(wait); }

 private:
  ScriptedByteSource& script_;
  const ResponseBuffer& buffer_;
  std::size_t& largest_;
};

ReadOutcome ReadScripted(ScriptedByteSource& script,
                                std::size_t maxBytes = kMaxResponseBytes) {
  ReadOutcome outcome;
  ResponseBuffer buffer(kCodePageUtf8, maxBytes);
  CapacityWatch source(script, buffer, outcome.largestCapacity);
  try {
    outcome.response = ReadResponse(source, buffer);
  } catch (const Failure& failure) {
    outcome.failure = failure.Message();
  }
  outcome.body.assign(buffer.Bytes().begin(), buffer.Bytes().end());
  outcome.capacity = buffer.Bytes().capacity();
  return outcome;
}

ReadOutcome ReadScripted(std::string_view response) {
  ScriptedByteSource source;
  source.Bytes(response);
  return ReadScripted(source);
}

constexpr char16_t kClosedGracefully[] = u"Connection Closed Gracefully.";

const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

// Bytes of a gzip stream, a NUL and a line break among them.
const std::string kRawBody("\x1f\x8b\x08\x00\r\n\x01", 7);

std::string Repeated(std::size_t count, char c) { return std::string(count, c); }

// ---- Body framing ------------------------------------------------------------------------------

struct FramingCase {
  const char* name;
  std::string response;
  std::string body;
  bool peerClosed;
};

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, GivesTheBody) {
  const FramingCase& c = GetParam();
  const ReadOutcome outcome = ReadScripted(c.response);
  ASSERT_FALSE(outcome.failure.has_value())
      << std::string(outcome.failure->begin(), outcome.failure->end());
  EXPECT_TRUE(outcome.response.Succeeded());
  EXPECT_EQ(outcome.body, c.body);
  EXPECT_EQ(outcome.response.peerClosed, c.peerClosed);
}

// The same response handed out one byte per read: no rule may depend on where reads split.
TEST_P(Framing, GivesTheSameBodyReadByteByByte) {
  const FramingCase& c = GetParam();
  ScriptedByteSource source;
  for (const char byte : c.response) source.Bytes(std::string(1, byte));
  const ReadOutcome outcome = ReadScripted(source);
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.body, c.body);
  EXPECT_EQ(outcome.response.peerClosed, c.peerClosed);
}

const FramingCase kFramings[] = {
    {"ChunkedHello", kChunked + "5\r\nhello\r\n0\r\n\r\n", "hello", false},
    {"ChunkExtensionAfterSemicolon", kChunked + "5;name=value\r\nhello\r\n0\r\n\r\n", "hello",
     false},
    {"SeveralChunksUpperCaseHex", kChunked + "A\r\n0123456789\r\n 3 \r\nabc\r\n0\r\n\r\n",
     "0123456789abc", false},
    {"NonHexSizeEndsTheBody", kChunked + "5\r\nhello\r\nxyz\r\n\r\nworld", "hello", false},
    {"SizeBeyond64BitsEndsTheBody", kChunked + "5\r\nhello\r\n10000000000000000\r\n\r\n", "hello",
     false},
    // A size that does not fit 63 bits is no number, read as 0: the data ends there.
    {"SizeBeyond63BitsEndsTheBody", kChunked + "3\r\nabc\r\nFFFFFFFFFFFFFFFF\r\nnever\r\n\r\n",
     "abc", false},
    {"ChunkedNamedAmongOtherCodings",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, CHUNKED\r\n\r\n2\r\nok\r\n0\r\n\r\n", "ok",
     false},
    {"ChunkedWinsOverContentLength",
     "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n"
     "5\r\nhello\r\n0\r\n\r\n",
     "hello", false},
    {"ContentLengthExact", kOk + "Content-Length: 3\r\n\r\nabcdef", "abc", false},
    {"ContentLengthTrimmed", kOk + "Content-Length:  4 \r\n\r\nabcdef", "abcd", false},
    {"ContentLengthWithPlusSign", kOk + "Content-Length: +4\r\n\r\nabcdef", "abcd", false},
    {"ContentLengthZero", kOk + "Content-Length: 0\r\n\r\nxyz", "", false},
    {"NoContentLengthReadsUntilClose", kOk + "X: y\r\n\r\nall\r\nof it", "all\r\nof it", true},
    {"InvalidContentLengthReadsUntilClose", kOk + "Content-Length: 12abc\r\n\r\nall of it",
     "all of it", true},
    {"NegativeContentLengthReadsUntilClose", kOk + "Content-Length: -5\r\n\r\nall of it",
     "all of it", true},
    {"ContentLengthBeyond64BitsReadsUntilClose",
     kOk + "Content-Length: 99999999999999999999\r\n\r\nall", "all", true},
    {"NoContent", "HTTP/1.1 204 No Content\r\n\r\nxyz", "", false},
    {"BodyBytesGoInAsReceived", kOk + "Content-Encoding: gzip\r\n\r\n" + kRawBody, kRawBody, true},
};
INSTANTIATE_TEST_SUITE_P(Bodies, Framing, ::testing::ValuesIn(kFramings), test::CaseName);

TEST(ChunkedBody, TrailerLinesJoinTheHeaderLines) {
  const ReadOutcome outcome =
      ReadScripted(kChunked + "2\r\nok\r\n0\r\nExpires: never\r\nX-Sum: 1\r\n\r\n");
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.body, "ok");
  EXPECT_EQ(
      outcome.response.headerLines,
      (std::vector<std::u16string>{u"Transfer-Encoding: chunked", u"Expires: never", u"X-Sum: 1"}));
}

// ---- Where the connection ends ----------------------------------------------------------------

// What the end of the connection gives at a point of the response: a success with the body so
// far, "Connection Closed Gracefully.", or the ending's own message. A body must end as its
// framing says: a Content-Length body by its length, one without by the peer's orderly close.
enum class Gives { kBody, kClosed, kOwnMessage };
using enum Gives;

struct CutPoint {
  const char* name;
  std::string before;     // what arrives before the end
  Gives onClose;          // the peer's orderly close
  Gives onReset;          // a reset or an abort
  std::string body = "";  // the body of a success
};

struct Ending {
  const char* name;
  platform::SocketEnd end;
  Gives CutPoint::*rule;   // the column of the cut points it follows; none: its own message always
  std::u16string message;  // the ending's own message
};

platform::SocketEnd Failed(int code) { return {platform::SocketEnd::kFailed, code}; }

class ConnectionEnd : public ::testing::TestWithParam<std::tuple<CutPoint, Ending>> {};

TEST_P(ConnectionEnd, GivesWhatItsPointSays) {
  const auto& [point, ending] = GetParam();
  ScriptedByteSource source;
  source.Bytes(point.before).End(ending.end).Bytes("never read");
  const ReadOutcome outcome = ReadScripted(source);
  const Gives gives = ending.rule ? point.*ending.rule : kOwnMessage;
  if (gives == Gives::kBody) {
    EXPECT_EQ(outcome.failure, std::nullopt);
    EXPECT_EQ(outcome.body, point.body);
    EXPECT_TRUE(outcome.response.ConnectionEnds());
  } else {
    EXPECT_EQ(outcome.failure, gives == Gives::kClosed ? kClosedGracefully : ending.message);
    EXPECT_EQ(outcome.body, "");
  }
  EXPECT_FALSE(source.PlayedOut());
}

const std::string kFailureStatus = "HTTP/1.1 404 Not Found\r\n";

INSTANTIATE_TEST_SUITE_P(
    Points, ConnectionEnd,
    ::testing::Combine(
        ::testing::ValuesIn(std::vector<CutPoint>{
            {"BeforeTheStatusLine", "", kClosed, kOwnMessage},
            {"InsideTheStatusLine", "HTTP/1.1 2", kClosed, kClosed},
            {"AfterTheStatusLinesCarriageReturn", "HTTP/1.1 200 OK\r", kClosed, kClosed},
            {"BeforeTheFirstHeaderLine", kOk, kClosed, kOwnMessage},
            {"InsideTheFirstHeaderLine", kOk + "X: y", kClosed, kClosed},
            {"AfterAnInterimResponse", "HTTP/1.1 100 Continue\r\n\r\n", kClosed, kOwnMessage},
            {"BeforeALaterHeaderLine", kOk + "A: b\r\n", kBody, kOwnMessage},
            {"InsideALaterHeaderLine", kOk + "A: b\r\nContent-", kBody, kClosed},
            {"InsideALengthBody", kOk + "Content-Length: 10\r\n\r\nabcdef", kClosed, kOwnMessage},
            {"InsideABodyUntilClose", kOk + "\r\nabc", kBody, kOwnMessage, "abc"},
            {"InsideAFailureStatusLengthBody", kFailureStatus + "Content-Length: 9\r\n\r\nabc",
             kClosed, kOwnMessage},
            {"InsideAFailureStatusBodyUntilClose", kFailureStatus + "\r\nabc", kBody, kOwnMessage},
            {"BeforeAChunkSizeLine", kChunked, kClosed, kOwnMessage},
            {"InsideAChunkSizeLine", kChunked + "5", kClosed, kClosed},
            {"InsideChunkData", kChunked + "5\r\nhel", kClosed, kClosed},
            {"InsideAChunkOf63Bits", kChunked + "7FFFFFFFFFFFFFFF\r\nshort", kClosed, kClosed},
            {"InsideABodyOf63Bits", kOk + "Content-Length: 9223372036854775807\r\n\r\nshort",
             kClosed, kOwnMessage},
            {"BeforeTheLineEndAfterChunkData", kChunked + "5\r\nhello", kClosed, kOwnMessage},
            {"BeforeTheNextChunkSizeLine", kChunked + "5\r\nhello\r\n", kClosed, kOwnMessage},
            {"InsideTheTrailer", kChunked + "0\r\nX-", kClosed, kClosed},
            {"BeforeTheTrailersEmptyLine", kChunked + "5\r\nhello\r\n0\r\nX: y\r\n", kClosed,
             kOwnMessage}}),
        ::testing::ValuesIn(std::vector<Ending>{
            {"Close", {platform::SocketEnd::kClosed}, &CutPoint::onClose, u""},
            {"Abort", Failed(10053), &CutPoint::onReset,
             u"Socket Error # 10053\r\nSoftware caused connection abort."},
            {"Reset", Failed(10054), &CutPoint::onReset,
             u"Socket Error # 10054\r\nConnection reset by peer."},
            {"Shutdown", Failed(10058), &CutPoint::onReset,
             u"Socket Error # 10058\r\nCannot send or receive after socket is closed."},
            {"SocketError", Failed(10060), nullptr,
             u"Socket Error # 10060\r\nConnection timed out."},
            {"ReadTimedOut", {platform::SocketEnd::kTimedOut}, nullptr, u"Read timed out."}})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// ---- Status ------------------------------------------------------------------------------------

struct StatusCase {
  const char* name;
  std::string head;  // status line and header block
  int statusCode;
  std::u16string statusLine;
  bool bodyReadOff;  // the body after the head was taken off the source
};

class Status : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Status, DecidesWhatHappensToTheBody) {
  const StatusCase& c = GetParam();
  ScriptedByteSource source;
  source.Bytes(c.head).Bytes("body bytes");
  const ReadOutcome outcome = ReadScripted(source);
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.response.statusCode, c.statusCode);
  EXPECT_EQ(outcome.response.statusLine, c.statusLine);
  EXPECT_EQ(outcome.response.Succeeded(), c.statusCode >= 200 && c.statusCode <= 299);
  EXPECT_EQ(source.PlayedOut(), c.bodyReadOff);
  if (!outcome.response.Succeeded()) {
    EXPECT_EQ(outcome.body, "");
  }
}

const StatusCase kStatuses[] = {
    {"Ok", "HTTP/1.1 200 OK\r\n\r\n", 200, u"HTTP/1.1 200 OK", true},
    {"NoReasonPhrase", "HTTP/1.1 200\r\n\r\n", 200, u"HTTP/1.1 200", true},
    {"ExtraBlanks", "HTTP/1.1   201   Created\r\n\r\n", 201, u"HTTP/1.1   201   Created", true},
    {"CodeCutAtFullStop", "HTTP/1.1 200.5 OK\r\n\r\n", 200, u"HTTP/1.1 200.5 OK", true},
    {"BareLineFeeds", "HTTP/1.1 200 OK\nX: y\n\n", 200, u"HTTP/1.1 200 OK", true},
    {"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", 204, u"HTTP/1.1 204 No Content", false},
    {"SwitchingProtocols", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", 101,
     u"HTTP/1.1 101 Switching Protocols", false},
    {"Other1xx", "HTTP/1.1 199 Whatever\r\n\r\n", 199, u"HTTP/1.1 199 Whatever", false},
    {"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", 304, u"HTTP/1.1 304 Not Modified", false},
    {"Unauthorized", "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\n", 401,
     u"HTTP/1.1 401 Unauthorized", true},
    {"ProxyAuthenticationRequired", "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", 407,
     u"HTTP/1.1 407 Proxy Authentication Required", true},
    {"NotFound", "HTTP/1.1 404 Not Found\r\n\r\n", 404, u"HTTP/1.1 404 Not Found", true},
    {"ServerError", "HTTP/1.1 503 Busy\r\n\r\n", 503, u"HTTP/1.1 503 Busy", true},
    {"SecondWordNotANumber", "HTTP/1.1 abc OK\r\n\r\n", -1, u"HTTP/1.1 abc OK", true},
    {"NoSpace", "HTTP/1.1\r\n\r\n", -1, u"HTTP/1.1", true},
    {"NothingButLineFeeds", std::string(5000, '\n'), -1, u"", true},
    {"CodeBeyond32Bits", "HTTP/1.1 4294967496 OK\r\n\r\n", -1, u"HTTP/1.1 4294967496 OK", true},
    {"NegativeCode", "HTTP/1.1 -200 OK\r\n\r\n", -200, u"HTTP/1.1 -200 OK", true},
    {"HighBytesShowAsReplacement", "HTTP/1.1 404 Nicht gefunden \xC3\xBC\xFF\r\n\r\n", 404,
     u"HTTP/1.1 404 Nicht gefunden \uFFFD\uFFFD\uFFFD", true},
    {"ControlCharactersKept", std::string("HTTP/1.1 500 A\tB\0C\r\n\r\n", 22), 500,
     std::u16string(u"HTTP/1.1 500 A\tB\0C", 18), true},
};
INSTANTIATE_TEST_SUITE_P(Codes, Status, ::testing::ValuesIn(kStatuses), test::CaseName);

TEST(InterimResponse, ContinueIsSkipped) {
  const ReadOutcome outcome = ReadScripted(
      "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n"
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.response.statusLine, u"HTTP/1.1 200 OK");
  EXPECT_EQ(outcome.response.headerLines, std::vector<std::u16string>{u"Content-Length: 2"});
  EXPECT_EQ(outcome.body, "ok");
}

TEST(InterimResponse, EndlessContinuesEndAsAFailureStatus) {
  std::string skipped;
  for (int i = 0; i < kMaxInterimResponses; ++i) skipped += "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_EQ(ReadScripted(skipped + "HTTP/1.1 200 OK\r\n\r\nok").response.statusCode, 200);
  const ReadOutcome outcome =
      ReadScripted(skipped + "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\nok");
  EXPECT_EQ(outcome.response.statusCode, 100);
  EXPECT_FALSE(outcome.response.Succeeded());
}

TEST(RedirectBody, IsReadOffOnlyWhenAByteComesWithinTheGrace) {
  const std::string head = "HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\n\r\n";
  ScriptedByteSource waited;
  waited.Bytes(head).WaitAnswer(true).Bytes("moved");
  const ReadOutcome read = ReadScripted(waited);
  EXPECT_EQ(read.response.statusCode, 302);
  EXPECT_TRUE(waited.PlayedOut());
  EXPECT_EQ(waited.LastWait(), kRedirectBodyGrace);
  EXPECT_EQ(read.body, "");

  ScriptedByteSource silent;
  silent.Bytes(head).WaitAnswer(false).Bytes("late");
  EXPECT_EQ(ReadScripted(silent).response.statusCode, 302);
  EXPECT_FALSE(silent.PlayedOut());

  // A close within the grace is no byte: a chunked body is then not read, so no failure.
  ScriptedByteSource closed;
  closed.Bytes("HTTP/1.1 301 Moved\r\nTransfer-Encoding: chunked\r\n\r\n").WaitAnswer(true);
  const ReadOutcome closedOutcome = ReadScripted(closed);
  EXPECT_FALSE(closedOutcome.failure.has_value());
  EXPECT_EQ(closedOutcome.response.statusCode, 301);
}

TEST(RedirectBody, AlreadyReceivedBytesOrAnEmptyBodyNeedNoWait) {
  for (const char* response : {"HTTP/1.1 301 Moved\r\nContent-Length: 5\r\n\r\nmoved",
                               "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n"}) {
    ScriptedByteSource source;
    source.Bytes(response);
    EXPECT_FALSE(ReadScripted(source).response.Succeeded());
    EXPECT_EQ(source.WaitCalls(), 0) << response;
  }
}

TEST(FailureBody, IsDroppedBlockByBlockNotKept) {
  // Four times the buffer's limit: were it kept, the reader would fail with "Response too large.".
  ScriptedByteSource source;
  source.Bytes("HTTP/1.1 404 Not Found\r\n\r\n").Repeat('x', 4 * kMaxResponseBytes);
  const ReadOutcome outcome = ReadScripted(source);
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.response.statusLine, u"HTTP/1.1 404 Not Found");
  EXPECT_TRUE(source.PlayedOut());
  EXPECT_EQ(outcome.body, "");
  EXPECT_LE(source.LargestCapacity(), 32768u);
}

// ---- Header block ------------------------------------------------------------------------------

std::string HeaderLines(int count) {
  std::string lines;
  for (int i = 1; i <= count; ++i) lines += "X-" + std::to_string(i) + ": v\r\n";
  return lines;
}

// The head and a chunked body's trailer take at most 255 lines each: the line after them is
// dropped, and what follows the head's is the body.
TEST(HeaderBlock, TakesAtMost255Lines) {
  struct Case {
    std::string response;
    std::size_t lines;
    std::string body;
  };
  const Case cases[] = {
      {kOk + HeaderLines(256) + "Content-Length: 1\r\n\r\ntail", 255,
       "Content-Length: 1\r\n\r\ntail"},
      {kOk + HeaderLines(255) + "\r\ntail", 255, "tail"},
      {kChunked + "2\r\nok\r\n0\r\n" + HeaderLines(300) + "\r\n", 1 + 255, "ok"},
  };
  for (const Case& c : cases) {
    const ReadOutcome outcome = ReadScripted(c.response);
    ASSERT_FALSE(outcome.failure.has_value());
    ASSERT_EQ(outcome.response.headerLines.size(), c.lines);
    EXPECT_EQ(outcome.response.headerLines.back(), u"X-255: v");
    EXPECT_EQ(outcome.response.HeaderValue(u"X-256"), u"");
    EXPECT_EQ(outcome.body, c.body);
  }
}

TEST(HeaderBlock, CloseAfterAHeaderLineEndsTheBlock) {
  for (const std::string rest : {"X: y\r\n", "X: y\r\nContent-Len"}) {
    const ReadOutcome outcome = ReadScripted(kOk + rest);
    ASSERT_FALSE(outcome.failure.has_value()) << rest;
    EXPECT_EQ(outcome.response.headerLines, std::vector<std::u16string>{u"X: y"});
    EXPECT_TRUE(outcome.response.peerClosed);
    EXPECT_TRUE(outcome.response.ConnectionEnds());
  }
}

TEST(HeaderLookUp, NamesIgnoreCaseFirstLineWinsContinuationsJoin) {
  HttpResponse response;
  response.headerLines = {u"no colon here", u"X-Long: a ",        u"   b  ",
                          u"\tc",           u"content-LENGTH: 3", u"Content-Length: 5",
                          u"Empty:",        u"Spaced : no",       u"Long: other"};
  EXPECT_EQ(response.HeaderValue(u"x-long"), u"a b c");
  EXPECT_EQ(response.HeaderValue(u"Content-Length"), u"3");
  EXPECT_EQ(response.HeaderValue(u"Empty"), u"");
  EXPECT_EQ(response.HeaderValue(u"Spaced"), u"");  // the name is the text before the colon
  EXPECT_EQ(response.HeaderValue(u"Long"), u"other");
  EXPECT_EQ(response.HeaderValue(u"Missing"), u"");
}

TEST(ClosingRule, ConnectionOrProxyConnectionCloseOrThePeersClose) {
  struct Case {
    std::vector<std::u16string> lines;
    bool peerClosed;
    bool ends;
  };
  const Case cases[] = {
      {{u"Connection: close"}, false, true},
      {{u"Connection:  CLOSE \t"}, false, true},
      {{u"Proxy-Connection: Close"}, false, true},
      {{u"Connection: keep-alive"}, false, false},
      {{u"Connection: close, Upgrade"}, false, false},
      {{u"Connection: keep-alive", u"Connection: close"}, false, false},
      {{}, false, false},
      {{}, true, true},
  };
  for (const Case& c : cases) {
    HttpResponse response;
    response.headerLines = c.lines;
    response.peerClosed = c.peerClosed;
    EXPECT_EQ(response.ConnectionEnds(), c.ends)
        << (c.lines.empty() ? "" : std::string(c.lines[0].begin(), c.lines[0].end()));
  }
}

// ---- Line limits -------------------------------------------------------------------------------

TEST(LineLimit, CountsEveryByteBeforeTheLineFeed) {
  const std::string name = "X-Long: ";
  auto headerOf = [&](std::size_t bytesBeforeLf, bool withCr) {
    std::string line = name + Repeated(bytesBeforeLf - name.size() - (withCr ? 1 : 0), 'a');
    return kOk + line + (withCr ? "\r\n" : "\n") + "\r\n";
  };
  for (const bool withCr : {false, true}) {
    EXPECT_FALSE(ReadScripted(headerOf(kMaxResponseLineBytes, withCr)).failure.has_value());
  }
  for (const std::string& tooLong :
       {headerOf(kMaxResponseLineBytes + 1, false), headerOf(kMaxResponseLineBytes + 1, true),
        headerOf(20000, true), Repeated(kMaxResponseLineBytes + 1, 'H') + "\r\n\r\n",
        kChunked + Repeated(20000, '0') + "5\r\nhello\r\n0\r\n\r\n"}) {
    EXPECT_EQ(ReadScripted(tooLong).failure, u"Max line length exceeded.");
  }
}

TEST(LineLimit, FailsWithoutWaitingForTheLineFeed) {
  ScriptedByteSource source;
  source.Bytes(kOk).Repeat('a', 1u << 30);
  EXPECT_EQ(ReadScripted(source).failure, u"Max line length exceeded.");
  EXPECT_LE(source.ReadCalls(), 3);
}

TEST(LineLimit, AFullLengthLineMayArriveInPieces) {
  ScriptedByteSource source;
  source.Bytes(kOk)
      .Bytes("X: ")
      .Repeat('a', kMaxResponseLineBytes - 4)
      .Bytes("\r")
      .Bytes("\n\r\nbody");
  const ReadOutcome outcome = ReadScripted(source);
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.response.headerLines.at(0).size(), kMaxResponseLineBytes - 1);
  EXPECT_EQ(outcome.body, "body");
}

// ---- Buffer limit and decoding -----------------------------------------------------------------

// In each framing, with a limit inside the first block and one that only later reads reach: the
// bytes in their order across the blocks, and no read asking for more than a block.
TEST(BodyIntoBuffer, ABodyOfExactlyTheLimitFitsAndOneByteMoreDoesNot) {
  for (const std::size_t cap : {std::size_t{8}, std::size_t{100000}}) {
    for (const std::size_t size : {cap, cap + 1}) {
      std::string body(size, 'a');
      for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + i % 23);
      char chunkSize[20];
      std::snprintf(chunkSize, sizeof chunkSize, "%zx\r\n", size);
      for (const std::string& response :
           {kOk + "Content-Length: " + std::to_string(size) + "\r\n\r\n" + body,
            kOk + "\r\n" + body, kChunked + chunkSize + body + "\r\n0\r\n\r\n"}) {
        ScriptedByteSource script;
        script.Bytes(response);
        const ReadOutcome outcome = ReadScripted(script, cap);
        EXPECT_EQ(outcome.failure, size > cap
                                       ? std::optional<std::u16string>(u"Response too large.")
                                       : std::nullopt);
        EXPECT_TRUE(outcome.body == (size > cap ? "" : body));
        EXPECT_LE(outcome.largestCapacity, cap);
        EXPECT_LE(script.LargestCapacity(), kReceiveBlockBytes);
      }
    }
  }
}

// An announced length is reserved whole at the first body byte, never beyond the limit.
TEST(BodyIntoBuffer, AnAnnouncedLengthIsReservedAtOnceUpToTheLimit) {
  for (const auto& [length, cap] :
       {std::pair<std::string, std::size_t>{"100000", 1u << 20}, {"1099511627776", 65536}}) {
    ScriptedByteSource script;
    script.Bytes(kOk + "Content-Length: " + length + "\r\n\r\n").Repeat('a', 100000);
    const ReadOutcome outcome = ReadScripted(script, cap);
    EXPECT_EQ(outcome.largestCapacity, std::min<std::size_t>(cap, 100000)) << length;
    EXPECT_EQ(outcome.capacity, cap < 100000 ? 0u : 100000u) << length;
  }
}

// Without an announced length the buffer grows by doubling: never beyond the limit, and never
// holding more spare memory than the bytes it has filled.
TEST(BodyIntoBuffer, AGrowingBodyKeepsNoMoreSpareThanItFills) {
  for (const std::size_t size : {std::size_t{5}, std::size_t{40000}, std::size_t{100000}}) {
    const std::string body(size, 'a');
    char chunkSize[20];
    std::snprintf(chunkSize, sizeof chunkSize, "%zx\r\n", size);
    for (const std::string& response :
         {kOk + "\r\n" + body, kChunked + chunkSize + body + "\r\n0\r\n\r\n"}) {
      ScriptedByteSource script;
      script.Bytes(response);
      const ReadOutcome outcome = ReadScripted(script, 131072);
      EXPECT_EQ(outcome.body.size(), size);
      EXPECT_LE(outcome.largestCapacity, 131072u);
      EXPECT_LE(outcome.capacity, 2 * size);
    }
  }
}

TEST(BodyIntoBuffer, AFailureStatusReservesNothingWhateverItsLength) {
  ScriptedByteSource script;
  script.Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 100000\r\n\r\n").Repeat('x', 100000);
  const ReadOutcome outcome = ReadScripted(script, kMaxResponseBytes);
  EXPECT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.largestCapacity, 0u);
  EXPECT_EQ(outcome.capacity, 0u);
}

TEST(BodyText, IsTheStrictUtf8DecodingOfTheBody) {
  const std::string valid = "<p>\xE7\xA6\x8F\xE5\xB7\x9E \xF0\x9F\x8C\xA7</p>";
  ResponseBuffer buffer(kCodePageUtf8);
  ScriptedByteSource good;
  good.Bytes(kOk + "Content-Type: text/html; charset=gb2312\r\n\r\n" + valid);
  ReadResponse(good, buffer);
  EXPECT_EQ(buffer.Text(), u"<p>福州 \U0001F327</p>");

  ResponseBuffer broken(kCodePageUtf8);
  ScriptedByteSource bad;
  bad.Bytes(kOk + "\r\n" + valid.substr(0, 3) + "\xFE" + valid.substr(3));
  EXPECT_TRUE(ReadResponse(bad, broken).Succeeded());
  EXPECT_EQ(broken.Text(), u"");
}

}  // namespace
}  // namespace qelo
