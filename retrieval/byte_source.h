#pragma once
// The stream interface the response reader takes: the program feeds it a socket, the unit tests
// feed it bytes.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qelo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Blocks until at least one byte is at hand and copies at most `capacity` bytes into `into`;
  // returns 0 once the peer has closed. Throws platform::SocketError for a failure of the socket
  // layer and Failure(u"Read timed out.") when a wait runs out.
  virtual std::size_t Read(std::uint8_t* into, std::size_t capacity) = 0;
  // True when a byte or the peer's close is at hand within `wait`.
  virtual bool WaitReadable(std::chrono::milliseconds wait) = 0;
};

}  // namespace qelo
