// Body bytes read straight into the response buffer: their order across reads, the exact limit,
// and what the buffer reserves for an announced length.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "core/failure.h"
#include "retrieval/http_response.h"
#include "tests/support/scripted_byte_source.h"

namespace qelo {
namespace {

using test::ScriptedByteSource;

// Plays `script` and notes the buffer's capacity at every read, when any reservation for the
// body has already been made.
class CapacityWatch : public ByteSource {
 public:
  CapacityWatch(ScriptedByteSource& script, const ResponseBuffer& buffer)
      : script_(script), buffer_(buffer) {}
  std::size_t Read(std::uint8_t* into, std::size_t capacity) override {
    largest_ = std::max(largest_, buffer_.Bytes().capacity());
    return script_.Read(into, capacity);
  }
  bool WaitReadable(std::chrono::milliseconds wait) override { return script_.WaitReadable(wait); }
  std::size_t LargestCapacity() const { return largest_; }

 private:
  ScriptedByteSource& script_;
  const ResponseBuffer& buffer_;
  std::size_t largest_ = 0;
};

struct Watched {
  std::optional<std::u16string> failure;
  std::string body;
  std::size_t largestCapacity = 0;  // while reading
  std::size_t capacity = 0;         // afterwards
  std::size_t largestRead = 0;
};

Watched Read(ScriptedByteSource& script, std::size_t maxBytes) {
  Watched watched;
  ResponseBuffer buffer(kCodePageUtf8, maxBytes);
  CapacityWatch source(script, buffer);
  try {
    ReadResponse(source, buffer);
  } catch (const Failure& failure) {
    watched.failure = failure.Message();
  }
  watched.body.assign(buffer.Bytes().begin(), buffer.Bytes().end());
  watched.largestCapacity = source.LargestCapacity();
  watched.capacity = buffer.Bytes().capacity();
  watched.largestRead = script.LargestCapacity();
  return watched;
}

const std::string kLengthHead = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";

TEST(BodyIntoBuffer, KeepsTheOrderOfBytesFromTheBlockAndFromReadsOfTheirOwn) {
  const std::string body = std::string(70000, 'a') + "middle" + std::string(29994, 'z');
  const std::string heads[] = {kLengthHead, "HTTP/1.1 200 OK\r\n\r\n"};
  for (const std::string& head : heads) {
    ScriptedByteSource script;
    // Head and body start in one read, the rest in reads of other sizes.
    script.Bytes(head + body.substr(0, 10))
        .Bytes(body.substr(10, 40000))
        .Bytes(body.substr(40010, 1))
        .Bytes(body.substr(40011));
    const Watched watched = Read(script, kMaxResponseBytes);
    EXPECT_FALSE(watched.failure.has_value()) << head;
    EXPECT_TRUE(watched.body == body) << head;
    EXPECT_LE(watched.largestRead, 32768u) << head;
  }
}

TEST(BodyIntoBuffer, ABodyOfExactlyTheLimitFitsAndOneByteMoreDoesNot) {
  constexpr std::size_t kCap = 100000;
  const std::string heads[] = {kLengthHead, "HTTP/1.1 200 OK\r\n\r\n"};
  for (const std::string& head : heads) {
    ScriptedByteSource fits;
    fits.Bytes(head).Repeat('a', kCap);
    const Watched exact = Read(fits, kCap);
    EXPECT_FALSE(exact.failure.has_value()) << head;
    EXPECT_EQ(exact.body.size(), kCap) << head;
    EXPECT_LE(exact.largestCapacity, kCap) << head;
  }
  ScriptedByteSource over;
  over.Bytes("HTTP/1.1 200 OK\r\n\r\n").Repeat('a', kCap).Bytes("b");
  const Watched tooLarge = Read(over, kCap);
  EXPECT_EQ(tooLarge.failure, u"Response too large.");
  EXPECT_EQ(tooLarge.body, "");
}

TEST(BodyIntoBuffer, AnAnnouncedLengthReservesNoMoreThanTheLimit) {
  ScriptedByteSource script;
  script.Bytes("HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\n").Repeat('a', 70000);
  const Watched watched = Read(script, 65536);
  EXPECT_EQ(watched.failure, u"Response too large.");
  EXPECT_EQ(watched.largestCapacity, 65536u);
  EXPECT_EQ(watched.capacity, 0u);
}

// Each framing reserves up to the limit before the first body byte; a short body gives the
// spare back.
TEST(BodyIntoBuffer, AShortBodyKeepsNoReservedSpare) {
  const std::string responses[] = {
      "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\nshort",
      "HTTP/1.1 200 OK\r\n\r\nshort",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nshort\r\n0\r\n\r\n",
  };
  for (const std::string& response : responses) {
    ScriptedByteSource script;
    script.Bytes(response);
    const Watched watched = Read(script, 65536);
    EXPECT_FALSE(watched.failure.has_value()) << response;
    EXPECT_EQ(watched.body, "short") << response;
    EXPECT_LE(watched.largestCapacity, 65536u) << response;
    EXPECT_LE(watched.capacity, 2 * watched.body.size()) << response;
  }
}

TEST(BodyIntoBuffer, AFailureStatusReservesNothingWhateverItsLength) {
  ScriptedByteSource script;
  script.Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 16777216\r\n\r\n").Repeat('x', 100000);
  const Watched watched = Read(script, kMaxResponseBytes);
  EXPECT_FALSE(watched.failure.has_value());
  EXPECT_EQ(watched.largestCapacity, 0u);
  EXPECT_EQ(watched.capacity, 0u);
}

}  // namespace
}  // namespace qelo
