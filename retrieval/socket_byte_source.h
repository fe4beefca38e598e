#pragma once
// The response reader's view of the fetch's socket, with the fetch's time limits.

#include <chrono>

#include "core/messages.h"
#include "platform/socket.h"
#include "retrieval/byte_source.h"

namespace qelo {

class SocketByteSource : public ByteSource {
 public:
  using Clock = std::chrono::steady_clock;
  // Each wait for data lasts at most `eachWait`, and none reaches past `deadline`, the end of
  // the whole exchange; either bound running out fails with Failure(messages::kReadTimedOut).
  SocketByteSource(platform::Socket& socket, std::chrono::milliseconds eachWait,
                   Clock::time_point deadline);

  std::size_t Read(std::uint8_t* into, std::size_t capacity) override;
  // Waits no longer than the exchange has left; false when that runs out first.
  bool WaitReadable(std::chrono::milliseconds wait) override;

 private:
  std::chrono::milliseconds Left() const;
  platform::Socket& socket_;
  std::chrono::milliseconds eachWait_;
  Clock::time_point deadline_;
};

}  // namespace qelo
