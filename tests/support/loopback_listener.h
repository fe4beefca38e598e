#pragma once
// The platform part of the test servers: a listening socket on 127.0.0.1 and the few socket
// operations a server needs beyond platform::Socket.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/socket.h"

namespace qelo::test {

// Listens on 127.0.0.1 at a port the system picks. Needs a live platform::SocketLibrary.
class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = 16);
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  std::uint16_t Port() const { return port_; }
  // A connection that arrived within `wait`, non-blocking; a closed Socket when none came.
  platform::Socket Accept(std::chrono::milliseconds wait);

 private:
  std::uintptr_t handle_;
  std::uint16_t port_ = 0;
};

// Sends what a non-blocking socket takes within `wait`: the count sent (0 when none could go),
// or -1 once the peer is gone.
long long SendSome(platform::Socket& socket, const char* bytes, std::size_t count,
                   std::chrono::milliseconds wait);

// Ends the connection with a reset instead of an orderly close (SO_LINGER on with time 0).
void ResetConnection(platform::Socket& socket);

// True where the system's sockets report a reset connection to recv as an orderly close, as
// Wine's do (Windows and POSIX report the reset).
bool ResetReadsAsOrderlyClose();

}  // namespace qelo::test
