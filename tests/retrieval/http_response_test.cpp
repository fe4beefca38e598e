#include "retrieval/http_response.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/retrieval/http_response_testing.h"

namespace qelo {
namespace {

using test::ReadOutcome;
using test::ReadScripted;
using test::ScriptedByteSource;

constexpr char kOk[] = "HTTP/1.1 200 OK\r\n";
constexpr char kChunked[] = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

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

INSTANTIATE_TEST_SUITE_P(
    Bodies, Framing,
    ::testing::Values(
        FramingCase{"ChunkedHello", std::string(kChunked) + "5\r\nhello\r\n0\r\n\r\n", "hello",
                    false},
        FramingCase{"ChunkExtensionAfterSemicolon",
                    std::string(kChunked) + "5;name=value\r\nhello\r\n0\r\n\r\n", "hello", false},
        FramingCase{"SeveralChunksUpperCaseHex",
                    std::string(kChunked) + "A\r\n0123456789\r\n 3 \r\nabc\r\n0\r\n\r\n",
                    "0123456789abc", false},
        FramingCase{"NonHexSizeEndsTheBody",
                    std::string(kChunked) + "5\r\nhello\r\nxyz\r\n\r\nworld", "hello", false},
        FramingCase{"SizeBeyond64BitsEndsTheBody",
                    std::string(kChunked) + "5\r\nhello\r\n10000000000000000\r\n\r\n", "hello",
                    false},
        FramingCase{
            "ChunkedNamedAmongOtherCodings",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, CHUNKED\r\n\r\n2\r\nok\r\n0\r\n\r\n", "ok",
            false},
        FramingCase{"ChunkedWinsOverContentLength",
                    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n"
                    "5\r\nhello\r\n0\r\n\r\n",
                    "hello", false},
        FramingCase{"ContentLengthExact", std::string(kOk) + "Content-Length: 3\r\n\r\nabcdef",
                    "abc", false},
        FramingCase{"ContentLengthTenClosedAfterSix",
                    std::string(kOk) + "Content-Length: 10\r\n\r\nabcdef", "abcdef", true},
        FramingCase{"ContentLengthTrimmed", std::string(kOk) + "Content-Length:  4 \r\n\r\nabcdef",
                    "abcd", false},
        FramingCase{"ContentLengthWithPlusSign",
                    std::string(kOk) + "Content-Length: +4\r\n\r\nabcdef", "abcd", false},
        FramingCase{"ContentLengthZero", std::string(kOk) + "Content-Length: 0\r\n\r\nxyz", "",
                    false},
        FramingCase{"NoContentLengthReadsUntilClose", std::string(kOk) + "X: y\r\n\r\nall\r\nof it",
                    "all\r\nof it", true},
        FramingCase{"InvalidContentLengthReadsUntilClose",
                    std::string(kOk) + "Content-Length: 12abc\r\n\r\nall of it", "all of it", true},
        FramingCase{"NegativeContentLengthReadsUntilClose",
                    std::string(kOk) + "Content-Length: -5\r\n\r\nall of it", "all of it", true},
        FramingCase{"ContentLengthBeyond64BitsReadsUntilClose",
                    std::string(kOk) + "Content-Length: 99999999999999999999\r\n\r\nall", "all",
                    true},
        FramingCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\nxyz", "", false},
        FramingCase{"BodyBytesGoInAsReceived",
                    std::string(kOk) + "Content-Encoding: gzip\r\n\r\n\x1f\x8b\x08\x00\r\n\x01",
                    "\x1f\x8b\x08\x00\r\n\x01", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChunkedBody, TrailerLinesJoinTheHeaderLines) {
  const ReadOutcome outcome =
      ReadScripted(std::string(kChunked) + "2\r\nok\r\n0\r\nExpires: never\r\nX-Sum: 1\r\n\r\n");
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.body, "ok");
  EXPECT_EQ(
      outcome.response.headerLines,
      (std::vector<std::u16string>{u"Transfer-Encoding: chunked", u"Expires: never", u"X-Sum: 1"}));
}

TEST(ChunkedBody, CloseInsideFailsAndLeavesTheBufferEmpty) {
  for (const std::string tail :
       {"5\r\nhel", "5\r\nhello", "5\r\nhello\r\n", "5", "", "5\r\nhello\r\n0\r\nX: y\r\n"}) {
    const ReadOutcome outcome = ReadScripted(std::string(kChunked) + tail);
    EXPECT_EQ(outcome.failure, u"Connection Closed Gracefully.") << tail;
    EXPECT_EQ(outcome.body, "") << tail;
    EXPECT_TRUE(outcome.response.peerClosed);
  }
}

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

INSTANTIATE_TEST_SUITE_P(
    Codes, Status,
    ::testing::Values(
        StatusCase{"Ok", "HTTP/1.1 200 OK\r\n\r\n", 200, u"HTTP/1.1 200 OK", true},
        StatusCase{"NoReasonPhrase", "HTTP/1.1 200\r\n\r\n", 200, u"HTTP/1.1 200", true},
        StatusCase{"ExtraBlanks", "HTTP/1.1   201   Created\r\n\r\n", 201,
                   u"HTTP/1.1   201   Created", true},
        StatusCase{"CodeCutAtFullStop", "HTTP/1.1 200.5 OK\r\n\r\n", 200, u"HTTP/1.1 200.5 OK",
                   true},
        StatusCase{"BareLineFeeds", "HTTP/1.1 200 OK\nX: y\n\n", 200, u"HTTP/1.1 200 OK", true},
        StatusCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", 204, u"HTTP/1.1 204 No Content",
                   false},
        StatusCase{"SwitchingProtocols", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n",
                   101, u"HTTP/1.1 101 Switching Protocols", false},
        StatusCase{"Other1xx", "HTTP/1.1 199 Whatever\r\n\r\n", 199, u"HTTP/1.1 199 Whatever",
                   false},
        StatusCase{"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", 304,
                   u"HTTP/1.1 304 Not Modified", false},
        StatusCase{"Unauthorized", "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\n",
                   401, u"HTTP/1.1 401 Unauthorized", true},
        StatusCase{"ProxyAuthenticationRequired",
                   "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", 407,
                   u"HTTP/1.1 407 Proxy Authentication Required", true},
        StatusCase{"NotFound", "HTTP/1.1 404 Not Found\r\n\r\n", 404, u"HTTP/1.1 404 Not Found",
                   true},
        StatusCase{"ServerError", "HTTP/1.1 503 Busy\r\n\r\n", 503, u"HTTP/1.1 503 Busy", true},
        StatusCase{"SecondWordNotANumber", "HTTP/1.1 abc OK\r\n\r\n", -1, u"HTTP/1.1 abc OK", true},
        StatusCase{"NoSpace", "HTTP/1.1\r\n\r\n", -1, u"HTTP/1.1", true},
        StatusCase{"CodeBeyond32Bits", "HTTP/1.1 4294967496 OK\r\n\r\n", -1,
                   u"HTTP/1.1 4294967496 OK", true},
        StatusCase{"NegativeCode", "HTTP/1.1 -200 OK\r\n\r\n", -200, u"HTTP/1.1 -200 OK", true},
        StatusCase{"HighBytesShowAsReplacement", "HTTP/1.1 404 Nicht gefunden \xC3\xBC\xFF\r\n\r\n",
                   404, u"HTTP/1.1 404 Nicht gefunden \uFFFD\uFFFD\uFFFD", true},
        StatusCase{"ControlCharactersKept", std::string("HTTP/1.1 500 A\tB\0C\r\n\r\n", 22), 500,
                   std::u16string(u"HTTP/1.1 500 A\tB\0C", 18), true}),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST(RedirectBody, AlreadyReceivedBytesNeedNoWait) {
  ScriptedByteSource source;
  source.Bytes("HTTP/1.1 301 Moved\r\nContent-Length: 5\r\n\r\nmoved");
  EXPECT_EQ(ReadScripted(source).response.statusCode, 301);
  EXPECT_EQ(source.WaitCalls(), 0);
}

TEST(RedirectBody, AnEmptyBodyNeedsNoWait) {
  ScriptedByteSource source;
  source.Bytes("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(ReadScripted(source).response.statusCode, 302);
  EXPECT_EQ(source.WaitCalls(), 0);
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

TEST(HeaderBlock, TakesAtMost255LinesAndReadsTheRestAsBody) {
  const ReadOutcome outcome =
      ReadScripted(std::string(kOk) + HeaderLines(256) + "Content-Length: 1\r\n\r\ntail");
  ASSERT_FALSE(outcome.failure.has_value());
  ASSERT_EQ(outcome.response.headerLines.size(), 255u);
  EXPECT_EQ(outcome.response.headerLines.back(), u"X-255: v");
  EXPECT_EQ(outcome.response.HeaderValue(u"X-256"), u"");
  EXPECT_EQ(outcome.body, "Content-Length: 1\r\n\r\ntail");
}

TEST(HeaderBlock, ATrailerTakesAtMost255LinesToo) {
  const ReadOutcome outcome =
      ReadScripted(std::string(kChunked) + "2\r\nok\r\n0\r\n" + HeaderLines(300) + "\r\n");
  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.body, "ok");
  ASSERT_EQ(outcome.response.headerLines.size(), 1u + 255u);
  EXPECT_EQ(outcome.response.headerLines.back(), u"X-255: v");
}

TEST(HeaderBlock, Exactly255LinesEndAtTheEmptyLine) {
  const ReadOutcome outcome = ReadScripted(std::string(kOk) + HeaderLines(255) + "\r\ntail");
  EXPECT_EQ(outcome.response.headerLines.size(), 255u);
  EXPECT_EQ(outcome.body, "tail");
}

TEST(HeaderBlock, CloseAfterAHeaderLineEndsTheBlock) {
  for (const std::string rest : {"X: y\r\n", "X: y\r\nContent-Len"}) {
    const ReadOutcome outcome = ReadScripted(std::string(kOk) + rest);
    ASSERT_FALSE(outcome.failure.has_value()) << rest;
    EXPECT_EQ(outcome.response.headerLines, std::vector<std::u16string>{u"X: y"});
    EXPECT_TRUE(outcome.response.peerClosed);
    EXPECT_TRUE(outcome.response.ConnectionEnds());
  }
}

TEST(HeaderBlock, CloseBeforeTheFirstHeaderLineOrInTheStatusLineFails) {
  for (const std::string response : {"", "HTTP/1.1 200", "HTTP/1.1 200 OK\r\n",
                                     "HTTP/1.1 200 OK\r\nX: y", "HTTP/1.1 100 Continue\r\n\r\n"}) {
    EXPECT_EQ(ReadScripted(response).failure, u"Connection Closed Gracefully.") << response;
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
    return std::string(kOk) + line + (withCr ? "\r\n" : "\n") + "\r\n";
  };
  EXPECT_FALSE(ReadScripted(headerOf(kMaxResponseLineBytes, false)).failure.has_value());
  EXPECT_FALSE(ReadScripted(headerOf(kMaxResponseLineBytes, true)).failure.has_value());
  EXPECT_EQ(ReadScripted(headerOf(kMaxResponseLineBytes + 1, false)).failure,
            u"Max line length exceeded.");
  EXPECT_EQ(ReadScripted(headerOf(kMaxResponseLineBytes + 1, true)).failure,
            u"Max line length exceeded.");
  EXPECT_EQ(ReadScripted(headerOf(20000, true)).failure, u"Max line length exceeded.");
  EXPECT_EQ(ReadScripted(Repeated(kMaxResponseLineBytes + 1, 'H') + "\r\n\r\n").failure,
            u"Max line length exceeded.");
  EXPECT_EQ(ReadScripted(std::string(kChunked) + Repeated(20000, '0') + "5\r\nhello\r\n0\r\n\r\n")
                .failure,
            u"Max line length exceeded.");
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

TEST(BufferLimit, ABodyPastTheLimitFailsAndKeepsNothing) {
  const std::string bodies[] = {
      std::string(kOk) + "Content-Length: 9\r\n\r\n123456789",
      std::string(kOk) + "\r\n123456789",
      std::string(kChunked) + "5\r\n12345\r\n4\r\n6789\r\n0\r\n\r\n",
  };
  for (const std::string& response : bodies) {
    ScriptedByteSource source;
    source.Bytes(response);
    const ReadOutcome outcome = ReadScripted(source, 8);
    EXPECT_EQ(outcome.failure, u"Response too large.") << response;
    EXPECT_EQ(outcome.body, "");
  }
  ScriptedByteSource exact;
  exact.Bytes(std::string(kOk) + "\r\n12345678");
  EXPECT_EQ(ReadScripted(exact, 8).body, "12345678");
}

TEST(BodyText, IsTheStrictUtf8DecodingOfTheBody) {
  const std::string valid = "<p>\xE7\xA6\x8F\xE5\xB7\x9E \xF0\x9F\x8C\xA7</p>";
  ResponseBuffer buffer(kCodePageUtf8);
  ScriptedByteSource good;
  good.Bytes(std::string(kOk) + "Content-Type: text/html; charset=gb2312\r\n\r\n" + valid);
  ReadResponse(good, buffer);
  EXPECT_EQ(buffer.Text(), u"<p>福州 \U0001F327</p>");

  ResponseBuffer broken(kCodePageUtf8);
  ScriptedByteSource bad;
  bad.Bytes(std::string(kOk) + "\r\n" + valid.substr(0, 3) + "\xFE" + valid.substr(3));
  EXPECT_TRUE(ReadResponse(bad, broken).Succeeded());
  EXPECT_EQ(broken.Text(), u"");
}

}  // namespace
}  // namespace qelo
