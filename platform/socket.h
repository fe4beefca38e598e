#pragma once
// IPv4 TCP client sockets for the page fetch, over POSIX sockets (socket_posix.cpp) or Windows
// Sockets (socket_win32.cpp).
//
// Every failure throws SocketError with a Windows Sockets code, so that both builds report the
// same messages: the POSIX build maps errno and getaddrinfo's results to the same codes (an errno
// without a counterpart stays below 10000, so it can never pose as one of them). A wait that runs
// out is an answer, not a failure. An interrupted call is made again, and a call that would block
// goes back to its wait: neither extends a wait beyond its bound.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "platform/unique_handle.h"

namespace qelo::platform {

inline constexpr int kWsaConnectionAborted = 10053;
inline constexpr int kWsaConnectionReset = 10054;
inline constexpr int kWsaShutdown = 10058;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaHostNotFound = 11001;

class SocketError : public std::exception {
 public:
  explicit SocketError(int code) : code_(code) {}
  int Code() const noexcept { return code_; }
  const char* what() const noexcept override { return "socket error"; }

 private:
  int code_;
};

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

// The first IPv4 stream address that the system resolver gives for `host`; 11001 for a name
// that does not exist.
Ipv4Address LookUpIpv4(const std::u16string& host);

// The system's number for a socket, kept here without the system's headers: each platform's file
// reads it as its own type, a descriptor or a SOCKET. -1 is none on both (INVALID_SOCKET is ~0).
enum class SocketHandle : std::intptr_t { kNone = -1 };

// A socket owned: its send side is shut down before it is closed, so that the peer sees an
// orderly close.
struct SocketTraits {
  using Handle = SocketHandle;
  static constexpr Handle Invalid() noexcept { return SocketHandle::kNone; }
  static void Close(Handle handle) noexcept;
};
using UniqueSocket = UniqueHandle<SocketTraits>;

// A connected TCP socket; move-only, closed in order when destroyed.
class Socket {
 public:
  // Opens a socket bound to any local address and port 0 and connects it; nothing when the
  // connection is not made within `timeout`.
  static std::optional<Socket> Connect(const Ipv4Address& address, std::uint16_t port,
                                       std::chrono::milliseconds timeout);

  Socket() = default;

  bool IsOpen() const { return handle_.Valid(); }
  // Sends every byte; each wait for room in the send buffer lasts at most `wait`, and one that
  // runs out fails as 10060.
  void SendAll(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds wait);
  // True when data, the peer's close or a pending error is at hand within `wait`.
  bool WaitReadable(std::chrono::milliseconds wait);
  // Receives at most `capacity` bytes once data or the peer's close is at hand within `wait`:
  // the count, 0 once the peer has closed, nothing when the wait runs out first.
  std::optional<std::size_t> ReceiveWithin(std::uint8_t* into, std::size_t capacity,
                                           std::chrono::milliseconds wait);
  // Shuts the send side down, then closes; never fails. Nothing happens when already closed.
  void Close() noexcept { handle_.Reset(); }

 private:
  explicit Socket(SocketHandle handle) : handle_(handle) {}
  UniqueSocket handle_;
};

}  // namespace qelo::platform
