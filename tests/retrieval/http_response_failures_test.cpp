// How the response reader reports resets, aborts, other socket failures and the source's own
// failures, depending on where in the response they strike.

#include <gtest/gtest.h>

#include <string>

#include "platform/socket_error.h"
#include "retrieval/http_response.h"
#include "retrieval/socket_messages.h"
#include "tests/retrieval/http_response_testing.h"

namespace qelo {
namespace {

using test::ReadOutcome;
using test::ReadScripted;
using test::ScriptedByteSource;

constexpr char16_t kClosedGracefully[] = u"Connection Closed Gracefully.";

std::u16string Decimal(int value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

struct Position {
  const char* name;
  std::string before;  // what arrives before the failure
  // What a reset or an abort there gives: true for the socket message of its code, false for a
  // close (`closedMessage` then, or success when that is empty).
  bool socketMessage;
  std::u16string closedMessage;
  std::string body;  // the body kept when the reset counts as the end of the body
};

class ResetOrAbort : public ::testing::TestWithParam<std::tuple<Position, int>> {};

TEST_P(ResetOrAbort, DependsOnWhereItStrikes) {
  const auto& [position, code] = GetParam();
  ScriptedByteSource source;
  source.Bytes(position.before).SocketError(code).Bytes("never read");
  const ReadOutcome outcome = ReadScripted(source);
  if (position.socketMessage) {
    EXPECT_EQ(outcome.failure, SocketErrorMessage(code));
  } else if (!position.closedMessage.empty()) {
    EXPECT_EQ(outcome.failure, position.closedMessage);
  } else {
    EXPECT_FALSE(outcome.failure.has_value());
    EXPECT_EQ(outcome.body, position.body);
  }
  EXPECT_TRUE(outcome.response.peerClosed);
  EXPECT_TRUE(outcome.response.ConnectionEnds());
  EXPECT_FALSE(source.PlayedOut());
}

const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Positions, ResetOrAbort,
    ::testing::Combine(
        ::testing::Values(
            Position{"BeforeTheStatusLine", "", true, u"", ""},
            Position{"InsideTheStatusLine", "HTTP/1.1 2", false, kClosedGracefully, ""},
            Position{"AfterTheStatusLinesCarriageReturn", "HTTP/1.1 200 OK\r", false,
                     kClosedGracefully, ""},
            Position{"BeforeTheFirstHeaderLine", "HTTP/1.1 200 OK\r\n", true, u"", ""},
            Position{"BeforeALaterHeaderLine", "HTTP/1.1 200 OK\r\nA: b\r\n", true, u"", ""},
            Position{"InsideAHeaderLine", "HTTP/1.1 200 OK\r\nA: b\r\nContent-", false,
                     kClosedGracefully, ""},
            Position{"InsideALengthBody", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", false,
                     u"", "abc"},
            Position{"InsideABodyUntilClose", "HTTP/1.1 200 OK\r\n\r\nabc", false, u"", "abc"},
            Position{"BeforeAChunkSizeLine", kChunkedHead, true, u"", ""},
            Position{"InsideAChunkSizeLine", kChunkedHead + "1", false, kClosedGracefully, ""},
            Position{"InsideChunkData", kChunkedHead + "5\r\nhel", false, kClosedGracefully, ""},
            Position{"BeforeTheLineEndAfterChunkData", kChunkedHead + "5\r\nhello", true, u"", ""},
            Position{"InsideTheTrailer", kChunkedHead + "0\r\nX-", false, kClosedGracefully, ""}),
        ::testing::Values(platform::kWsaConnectionAborted, platform::kWsaConnectionReset,
                          platform::kWsaShutdown)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" +
             std::to_string(std::get<1>(info.param));
    });

// Any other code of the socket layer, and the source's own failures, fail with their own
// message in every position.
TEST(OtherFailures, PassThroughWherever) {
  const std::string positions[] = {
      "",
      "HTTP/1.1 2",
      "HTTP/1.1 200 OK\r\n",
      "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc",
      "HTTP/1.1 200 OK\r\n\r\nabc",
      kChunkedHead + "5\r\nhel",
      "HTTP/1.1 404 Not Found\r\n\r\nabc",
  };
  for (const std::string& before : positions) {
    ScriptedByteSource timedOut;
    timedOut.Bytes(before).SocketError(10060);
    const ReadOutcome outcome = ReadScripted(timedOut);
    EXPECT_EQ(outcome.failure, u"Socket Error # 10060\r\nConnection timed out.") << before;
    EXPECT_EQ(outcome.body, "") << before;

    ScriptedByteSource unknown;
    unknown.Bytes(before).SocketError(12345);
    EXPECT_EQ(ReadScripted(unknown).failure, u"Socket Error # 12345\r\n") << before;

    ScriptedByteSource waitedTooLong;
    waitedTooLong.Bytes(before).Failure(u"Read timed out.");
    EXPECT_EQ(ReadScripted(waitedTooLong).failure, u"Read timed out.") << before;
  }
}

TEST(OtherFailures, ResponseKeepsWhatWasReadWhenTheReaderThrows) {
  ScriptedByteSource source;
  source.Bytes("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 9\r\n\r\nabc")
      .Failure(u"Read timed out.");
  const ReadOutcome outcome = ReadScripted(source);
  EXPECT_EQ(outcome.failure, u"Read timed out.");
  EXPECT_EQ(outcome.response.statusCode, 200);
  EXPECT_TRUE(outcome.response.ConnectionEnds());
  EXPECT_FALSE(outcome.response.peerClosed);
}

TEST(SocketErrorMessage, CodeLineBreakAndText) {
  EXPECT_EQ(SocketErrorMessage(10061), u"Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(SocketErrorMessage(11001), u"Socket Error # 11001\r\nHost not found.");
  EXPECT_EQ(SocketErrorMessage(10004), u"Socket Error # 10004\r\nInterrupted system call.");
  EXPECT_EQ(SocketErrorMessage(10066), u"Socket Error # 10066\r\nDirectory not empty");
  EXPECT_EQ(SocketErrorMessage(10047),
            u"Socket Error # 10047\r\nAddress family not supported by protocol family.");
  for (const int code : {0, 10005, 10067, 11002, -1}) {
    EXPECT_EQ(SocketErrorMessage(code), u"Socket Error # " + Decimal(code) + u"\r\n");
  }
}

// Each text of the table ends with a full stop, but that of 10066.
TEST(SocketErrorMessage, TableHasItsThirtyNineTexts) {
  int withText = 0;
  for (int code = 10000; code <= 11010; ++code) {
    const std::u16string message = SocketErrorMessage(code);
    const std::u16string prefix = u"Socket Error # " + Decimal(code) + u"\r\n";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    if (message.size() == prefix.size()) continue;
    ++withText;
    EXPECT_EQ(message.back() == u'.', code != 10066) << code;
  }
  EXPECT_EQ(withText, 39);
}

}  // namespace
}  // namespace qelo
