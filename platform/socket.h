#pragma once
// IPv4 TCP client sockets for the page fetch: socket.cpp for what both systems share, and
// socket_posix.cpp or socket_win32.cpp for the name lookup, the codes and the library's start.
//
// No call throws: each answers with what it found. Failures carry Windows Sockets codes on both
// builds, so that both report the same messages: the POSIX build maps errno and getaddrinfo's
// results to them (an errno without a counterpart stays below 10000, so it can never pose as one
// of them). An interrupted call is made again, and one that would block goes back to its wait:
// neither extends a wait beyond its bound.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/unique_handle.h"

namespace qelo::platform {

#ifdef _WIN32
using socket_t = std::uintptr_t;  // SOCKET
inline constexpr socket_t kInvalidSocket = ~socket_t{0};
#else
using socket_t = int;
inline constexpr socket_t kInvalidSocket = -1;
#endif

inline constexpr int kWsaConnectionAborted = 10053;
inline constexpr int kWsaConnectionReset = 10054;
inline constexpr int kWsaShutdown = 10058;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaHostNotFound = 11001;

// How a socket call ended: it did what it was asked (kNone), the peer closed the connection in
// order, a wait ran out, or the call failed with a Windows Sockets code (a reset is 10054, an
// abort 10053, 10058 after a shutdown).
struct SocketEnd {
  enum Kind { kNone, kClosed, kTimedOut, kFailed };
  Kind kind = kNone;
  int code = 0;  // of kFailed
  bool operator==(const SocketEnd&) const = default;
};

// What one receive brought: a count above 0, or the end it met instead.
struct Received {
  std::size_t count = 0;
  SocketEnd end;
};

// A system error number (errno on POSIX) as the Windows Sockets code of the same failure.
int SocketErrorCode(int systemError);

// Keeps the socket library started while it lives: WSAStartup(2.2)/WSACleanup on Windows;
// nothing on POSIX (sends there use MSG_NOSIGNAL, so a closed peer never raises SIGPIPE).
class SocketLibrary {
 public:
  SocketLibrary();
  // Nothing, or the failure of the start with its code.
  SocketEnd Started() const { return started_; }
  ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

 private:
  SocketEnd started_;
};

// An IPv4 address as four bytes in network order (127.0.0.1 is {127, 0, 0, 1}).
struct Ipv4Address {
  std::uint8_t bytes[4] = {};
};

// The first IPv4 stream address that the system resolver gives for `host`, a name without a NUL;
// 11001 for a name that does not exist.
SocketEnd LookUpIpv4(const std::u16string& host, Ipv4Address& address);

// A socket owned: its send side is shut down before it is closed, so that the peer sees an
// orderly close.
struct SocketTraits {
  using Handle = socket_t;
  static constexpr Handle Invalid() noexcept { return kInvalidSocket; }
  static void Close(Handle handle) noexcept;
};
using UniqueSocket = UniqueHandle<SocketTraits>;

// A TCP client socket; move-only, closed in order when destroyed. It stays non-blocking from its
// connect on: every wait is a poll (a select on Windows) within its bound.
class Socket {
 public:
  // Opens a socket bound to any local address and port 0 and connects it: kTimedOut when the
  // connection is not made within `timeout`.
  SocketEnd Connect(const Ipv4Address& address, std::uint16_t port,
                    std::chrono::milliseconds timeout);
  // Sends every byte; each wait for room in the send buffer lasts at most `wait`, and one that
  // runs out fails as 10060.
  SocketEnd SendAll(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds wait);
  // True when data, the peer's close or a pending error is at hand within `wait`. A failure of
  // the wait itself counts as at hand: the next Receive says what it was.
  bool WaitReadable(std::chrono::milliseconds wait);
  // At most `capacity` bytes (at least 1) once some are at hand within `wait`.
  Received Receive(std::uint8_t* into, std::size_t capacity, std::chrono::milliseconds wait);
  // Shuts the send side down, then closes; never fails. Nothing happens when already closed.
  void Close() noexcept { handle_.Reset(); }

 private:
  UniqueSocket handle_;
};

}  // namespace qelo::platform
