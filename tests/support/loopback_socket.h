#pragma once
// The platform part of the loopback server: a listening socket on 127.0.0.1 and the few socket
// operations a server needs on the connections it accepts.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/socket.h"

namespace qelo::test {

// An accepted, non-blocking connection without Nagle's delay; destroying it closes it.
using PeerSocket = platform::UniqueSocket;

// Listens on 127.0.0.1:port (0: a port the system picks) with room for `backlog` connections
// not yet accepted; throws std::runtime_error. Needs a live platform::SocketLibrary.
class LoopbackListener {
 public:
  explicit LoopbackListener(int port, int backlog = 128);
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  std::uint16_t Port() const { return port_; }
  // A connection that arrived within `wait`; none when none came.
  PeerSocket Accept(std::chrono::milliseconds wait);

 private:
  platform::socket_t handle_;
  std::uint16_t port_ = 0;
};

// Each platform's two halves of SendSome and ReceiveSome: whether the socket is ready for
// reading (or writing) within `wait` (1, 0 when not, -1 on failure), and one call that does not
// block (the count, 0 for a receive at the peer's close, kWouldBlock, or -1 on failure).
inline constexpr long long kWouldBlock = -2;
int AwaitReady(const PeerSocket& socket, bool reading, std::chrono::milliseconds wait);
long long SendNow(PeerSocket& socket, const char* bytes, std::size_t count);
long long ReceiveNow(PeerSocket& socket, char* into, std::size_t capacity);

// Sends what the socket takes within `wait`: the count sent (0 when none could go), or -1 once
// the peer is gone.
inline long long SendSome(PeerSocket& socket, const char* bytes, std::size_t count,
                          std::chrono::milliseconds wait) {
  const int ready = AwaitReady(socket, false, wait);
  const long long sent = ready <= 0 ? ready : SendNow(socket, bytes, count);
  return sent == kWouldBlock ? 0 : sent;
}

// Receives what arrives within `wait`: the count received (0 when nothing came), or -1 once the
// peer has closed or reset the connection.
inline long long ReceiveSome(PeerSocket& socket, char* into, std::size_t capacity,
                             std::chrono::milliseconds wait) {
  const int ready = AwaitReady(socket, true, wait);
  if (ready <= 0) return ready;
  const long long received = ReceiveNow(socket, into, capacity);
  return received == kWouldBlock ? 0 : received == 0 ? -1 : received;
}

// Sends a FIN: the client reads the end of the data, and may still send.
void ShutdownSending(PeerSocket& socket);

// Ends the connection with a reset instead of an orderly close (SO_LINGER on with time 0).
void ResetConnection(PeerSocket& socket);

// True where the system's sockets report a reset connection to recv as an orderly close, as
// Wine's do (Windows and POSIX report the reset).
bool ResetReadsAsOrderlyClose();

}  // namespace qelo::test
