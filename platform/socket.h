#pragma once
// IPv4 TCP client sockets for the page fetch.
//
// Every failure throws SocketError with a Windows Sockets code, so that both builds report the
// same messages. The Windows build passes WSAGetLastError() and the resolver's code through. The
// POSIX build maps errno and getaddrinfo results to the same codes:
//   EINTR 10004, EBADF 10009, EACCES 10013, EFAULT 10014, EINVAL 10022, EMFILE 10024,
//   EWOULDBLOCK/EAGAIN 10035, EINPROGRESS 10036, EALREADY 10037, ENOTSOCK 10038,
//   EDESTADDRREQ 10039, EMSGSIZE 10040, EPROTOTYPE 10041, ENOPROTOOPT 10042,
//   EPROTONOSUPPORT 10043, ESOCKTNOSUPPORT 10044, EOPNOTSUPP 10045, EPFNOSUPPORT 10046,
//   EAFNOSUPPORT 10047, EADDRINUSE 10048, EADDRNOTAVAIL 10049, ENETDOWN 10050,
//   ENETUNREACH 10051, ENETRESET 10052, ECONNABORTED 10053, ECONNRESET 10054, ENOBUFS 10055,
//   EISCONN 10056, ENOTCONN 10057, EPIPE and ESHUTDOWN 10058, ETOOMANYREFS 10059,
//   ETIMEDOUT 10060, ECONNREFUSED 10061, ELOOP 10062, ENAMETOOLONG 10063, EHOSTDOWN 10064,
//   EHOSTUNREACH 10065, ENOTEMPTY 10066; any other errno is passed on unchanged (it is below
//   10000, so it can never pose as one of the codes above).
//   Resolver: EAI_NONAME, EAI_NODATA, EAI_ADDRFAMILY 11001 (host not found), EAI_AGAIN 11002,
//   EAI_FAIL 11003, EAI_MEMORY 10055, EAI_FAMILY 10047, EAI_SOCKTYPE 10044, EAI_SERVICE 10109,
//   EAI_BADFLAGS 10022, EAI_SYSTEM its errno as above, any other 11003.
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

// "LOCALHOST" in any case gives 127.0.0.1; four dot-separated decimal numbers 0..255 are taken
// as they stand; any other name goes to the system resolver (IPv4 stream addresses only) and
// its first address is taken. Throws SocketError (11001 for a name that does not exist).
Ipv4Address ResolveIpv4(const std::u16string& host);

// Parses exactly four dot-separated decimal numbers from 0 to 255; false for anything else.
bool ParseDottedQuad(const std::u16string& text, Ipv4Address& address);

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
