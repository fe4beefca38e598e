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

#include "platform/socket.h"
#include "retrieval/end_message.h"
#include "retrieval/http_response.h"

namespace qelo {

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
  // True when at least one byte is at hand within `wait`; a close or a reset is no byte.
  bool AwaitByte(std::chrono::milliseconds wait);

  bool Ended() const { return end_.kind != platform::SocketEnd::kNone; }
  bool EndedByReset() const { return end_.kind == platform::SocketEnd::kFailed; }
  // Fails the response at the end of the connection: a reset with its own words, the peer's
  // close as a close.
  [[noreturn]] void FailAtEnd() const { ThrowEnd(end_); }

 private:
  bool HasBufferedBytes() const { return begin_ < filled_; }
  // Refills the empty block with one read; false once the connection has ended.
  bool Fill();

  ByteSource& source_;
  std::array<std::uint8_t, kReceiveBlockBytes> block_{};
  std::size_t begin_ = 0;
  std::size_t filled_ = 0;
  // How the connection ended: kNone while it lasts, then kClosed, or kFailed for a reset or an
  // abort (a timeout or any other failure fails the read at once).
  platform::SocketEnd end_;
};

}  // namespace qelo
