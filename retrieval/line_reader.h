#pragma once
// Buffered reading of response lines and body bytes from a byte source, with the reader's rules
// for the peer's close and for resets.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/socket.h"
#include "retrieval/byte_source.h"
#include "retrieval/response_buffer.h"

namespace qelo {

// One read of the source takes at most one receive block, what one receive of the socket takes.
inline constexpr std::size_t kReceiveBlockBytes = platform::kMaxReceiveBytes;

class LineReader {
 public:
  explicit LineReader(ByteSource& source, std::size_t maxLineBytes);

  // The next line: up to LF, a CR right before it dropped, bytes 0x80..0xFF as U+FFFD.
  // nullopt when the peer closed before the line's LF (the partial line is dropped).
  // Throws "Max line length exceeded." as soon as the line has more than the limit before its
  // LF. A reset before any byte of the line leaves as its SocketError, after part of the line
  // as "Connection Closed Gracefully."; any other SocketError leaves as it is.
  std::optional<std::u16string> ReadLine();

  // Body bytes: at most `most` bytes, taken from what is at hand or from one new read; the
  // empty span once the peer has closed. A reset counts as a close here.
  std::span<const std::uint8_t> ReadBody(std::size_t most);
  // The same, appended to `buffer`: with nothing at hand, the one read goes straight into the
  // buffer's end. Returns how many bytes were appended, 0 once the peer has closed. Throws
  // "Response too large." as Append does.
  std::size_t ReadBodyInto(ResponseBuffer& buffer, std::size_t most);

  // True when at least one byte is at hand within `wait` (a close or reset is not a byte).
  bool AwaitByte(std::chrono::milliseconds wait);

  // Bytes received but not yet taken.
  bool HasBufferedBytes() const { return begin_ < end_; }
  // True when the peer closed or reset the connection.
  bool PeerClosed() const { return peerClosed_; }
  ByteSource& Source() { return source_; }

 private:
  enum class ResetMeans { kSocketMessage, kGracefulClose, kClose };
  // Refills the empty block with one read; false when the peer closed.
  bool Fill(ResetMeans reset);
  // One read of at most `capacity` bytes into `into`; 0 when the peer closed.
  std::size_t Receive(std::uint8_t* into, std::size_t capacity, ResetMeans reset);

  ByteSource& source_;
  std::size_t maxLineBytes_;
  std::array<std::uint8_t, kReceiveBlockBytes> block_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool peerClosed_ = false;
};

}  // namespace qelo
