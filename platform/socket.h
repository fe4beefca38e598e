#pragma once
// IPv4 TCP client sockets for the page fetch.
//
// Every failure throws SocketError with a Windows Sockets code, so that both builds report the
// same messages: the Windows build passes WSAGetLastError() and the resolver's code through, the
// POSIX build maps errno and getaddrinfo's results to the same codes (an errno without a
// counterpart stays below 10000, so it can never pose as one of them).
//
// An interrupted call (EINTR, WSAEINTR) is made again, and a call that would block (EAGAIN,
// EWOULDBLOCK, WSAEWOULDBLOCK) goes back to its wait: neither is a failure, and neither extends
// a wait beyond its bound.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/socket_error.h"
#include "platform/unique_handle.h"

namespace qelo::platform {

// The most bytes one receive takes from the socket.
inline constexpr std::size_t kMaxReceiveBytes = 32768;

// Keeps the socket library started while it lives: WSAStartup(2.2)/WSACleanup on Windows;
// nothing on POSIX (sends there use MSG_NOSIGNAL, so a closed peer never raises SIGPIPE).
class SocketLibrary {
 public:
  SocketLibrary();
  ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;
};

// An IPv4 address as four bytes in network order (127.0.0.1 is {127, 0, 0, 1}).
struct Ipv4Address {
  std::uint8_t bytes[4] = {};
};

// The first IPv4 stream address that the system resolver gives for `host`. Throws SocketError
// (11001 for a name that does not exist).
Ipv4Address LookUpIpv4(const std::u16string& host);

// A native socket (a SOCKET or a file descriptor) as an owned handle: its send side is shut
// down before it is closed, so that the peer sees an orderly close.
struct SocketTraits {
  using Handle = std::uintptr_t;
  static constexpr Handle Invalid() noexcept { return ~Handle{0}; }
  static void Close(Handle handle) noexcept;
};
using UniqueSocket = UniqueHandle<SocketTraits>;

// A connected TCP socket; move-only, closed in order when destroyed.
class Socket {
 public:
  // Opens a socket bound to any local address and port 0 and connects it. The set-up gives up
  // after `timeout` with ConnectTimeout; other failures throw SocketError.
  static Socket Connect(const Ipv4Address& address, std::uint16_t port,
                        std::chrono::milliseconds timeout);

  Socket() = default;

  bool IsOpen() const { return handle_.Valid(); }
  // Sends every byte; a partial send goes on with the rest. Each wait for room in the send
  // buffer lasts at most `wait`; one that runs out fails as SocketError(10060). Throws
  // SocketError.
  void SendAll(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds wait);
  // True when data, the peer's close or a pending error is at hand within `wait`.
  bool WaitReadable(std::chrono::milliseconds wait);
  // Receives at most min(capacity, kMaxReceiveBytes) bytes once data or the peer's close is at
  // hand within `wait`: the count, 0 once the peer has closed, nothing when the wait runs out
  // first. Throws SocketError.
  std::optional<std::size_t> ReceiveWithin(std::uint8_t* into, std::size_t capacity,
                                           std::chrono::milliseconds wait);
  // Shuts the send side down, then closes; never fails. Nothing happens when already closed.
  void Close() noexcept { handle_.Reset(); }

 private:
  explicit Socket(SocketTraits::Handle handle) : handle_(handle) {}
  UniqueSocket handle_;
};

}  // namespace qelo::platform
