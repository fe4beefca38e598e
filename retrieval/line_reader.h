#pragma once
// The bytes of a response over its byte source, one block at a time: lines up to their LF, body
// bytes, and how the connection ended once it has, which decides how a cut response fails.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "retrieval/http_response.h"
#include "retrieval/response_buffer.h"

namespace qelo {

// The failure of a connection closed where the response goes on.
[[noreturn]] void ThrowClosed();

class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source) {}

  // The next line: up to LF, a CR right before it dropped, bytes 0x80..0xFF as U+FFFD; nullopt
  // when the peer closed before its LF. Fails as soon as the line has more than the limit. A
  // reset before any byte of the line fails as the reset, after part of it as a close.
  std::optional<std::u16string> ReadLine();
  // At most `most` body bytes, from what is at hand or from one new read; empty once the
  // connection has ended.
  std::span<const std::uint8_t> ReadBody(std::size_t most);
  // The same, appended to `buffer`: with nothing at hand, the one read goes straight into the
  // buffer's end. Returns how many bytes were appended, 0 once the connection has ended.
  std::size_t ReadBodyInto(ResponseBuffer& buffer, std::size_t most);
  // True when at least one byte is at hand within `wait`; a close or a reset is no byte.
  bool AwaitByte(std::chrono::milliseconds wait);

  bool Ended() const { return ended_; }
  bool EndedByReset() const { return resetCode_ != 0; }
  // Fails the response at the end of the connection: a reset as the socket failure it is, the
  // peer's close as a close.
  [[noreturn]] void FailAtEnd() const;

 private:
  bool HasBufferedBytes() const { return begin_ < end_; }
  // Refills the empty block with one read; false once the connection has ended.
  bool Fill();
  // One read of at most `capacity` bytes into `into`; 0 once the connection has ended.
  std::size_t Receive(std::uint8_t* into, std::size_t capacity);

  ByteSource& source_;
  std::array<std::uint8_t, kReceiveBlockBytes> block_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool ended_ = false;
  int resetCode_ = 0;  // of the reset or abort that ended the connection
};

}  // namespace qelo
