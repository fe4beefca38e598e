#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace qelo::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWsaInterrupted = 10004;
constexpr int kWsaWouldBlock = 10035;
constexpr int kWsaAlready = 10037;
constexpr int kWsaIsConnected = 10056;

// What the two systems say differently. A non-blocking connect that goes on in the background
// says 10035 on Windows and 10036 (EINPROGRESS) on POSIX.
#ifdef _WIN32
constexpr int kWsaConnectGoesOn = kWsaWouldBlock;
constexpr int kSocketType = SOCK_STREAM;
constexpr int kSendFlags = 0;
constexpr int kShutdownSend = SD_SEND;
int LastError() { return ::WSAGetLastError(); }
int CloseSocket(socket_t socket) { return ::closesocket(socket); }
#else
constexpr int kWsaConnectGoesOn = 10036;
constexpr int kSocketType = SOCK_STREAM | SOCK_CLOEXEC;
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kShutdownSend = SHUT_WR;
int LastError() { return SocketErrorCode(errno); }
int CloseSocket(socket_t socket) { return ::close(socket); }
#endif

SocketEnd Failed(int code) { return {SocketEnd::kFailed, code}; }

enum class Ready { kToRead, kToWrite, kConnected };

// Waits until the socket is ready or the deadline comes; a wait that is interrupted, or refused
// as one that would block, goes on with the time left. Windows shows a failed connect in the
// except set only; poll shows it as POLLOUT.
SocketEnd Await(socket_t socket, Ready ready, Clock::time_point deadline) {
  using std::chrono::ceil;
  for (;;) {
    const auto left = std::clamp<Clock::duration>(deadline - Clock::now(), Clock::duration{},
                                                  std::chrono::milliseconds(INT_MAX));
#ifdef _WIN32
    const auto micros = ceil<std::chrono::microseconds>(left).count();
    timeval limit{static_cast<long>(micros / 1000000), static_cast<long>(micros % 1000000)};
    fd_set set;
    fd_set failed;
    FD_ZERO(&set);
    FD_ZERO(&failed);
    FD_SET(socket, &set);
    FD_SET(socket, &failed);
    const bool reading = ready == Ready::kToRead;
    const int found = ::select(0, reading ? &set : nullptr, reading ? nullptr : &set,
                               ready == Ready::kConnected ? &failed : nullptr, &limit);
#else
    pollfd entry{socket, static_cast<short>(ready == Ready::kToRead ? POLLIN : POLLOUT), 0};
    const auto millis = ceil<std::chrono::milliseconds>(left).count();
    const int found = ::poll(&entry, 1, static_cast<int>(millis));
#endif
    if (found > 0) return {};
    if (found == 0) return {SocketEnd::kTimedOut};
    const int error = LastError();
    if (error != kWsaInterrupted && error != kWsaWouldBlock) return Failed(error);
  }
}

SocketEnd SetNonBlocking(socket_t socket) {
#ifdef _WIN32
  u_long on = 1;
  if (::ioctlsocket(socket, FIONBIO, &on) == 0) return {};
#else
  const int flags = ::fcntl(socket, F_GETFL);
  if (flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0) return {};
#endif
  return Failed(LastError());
}

sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  std::memcpy(&result.sin_addr, address.bytes, 4);
  return result;
}

// Connects the non-blocking `socket` by the deadline. A non-blocking connect does not sleep, so
// an interrupted one was not made: it is made again, and had it been made after all, the second
// one says that it is already under way or made.
SocketEnd ConnectBy(socket_t socket, const sockaddr_in& remote, Clock::time_point deadline) {
  for (;;) {
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
      return {};
    }
    const int error = LastError();
    if (error == kWsaIsConnected) return {};
    if (error == kWsaConnectGoesOn || error == kWsaAlready) break;
    if (error != kWsaInterrupted) return Failed(error);
  }
  const SocketEnd waited = Await(socket, Ready::kConnected, deadline);
  if (waited.kind != SocketEnd::kNone) return waited;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return Failed(LastError());
  }
  return error == 0 ? SocketEnd{} : Failed(SocketErrorCode(error));
}

}  // namespace

void SocketTraits::Close(Handle handle) noexcept {
  ::shutdown(handle, kShutdownSend);
  CloseSocket(handle);
}

// The connect runs non-blocking only to bound it in time: its outcome and codes are those of a
// blocking connect.
SocketEnd Socket::Connect(const Ipv4Address& address, std::uint16_t port,
                          std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  handle_.Reset(::socket(AF_INET, kSocketType, 0));
  if (!handle_.Valid()) return Failed(LastError());
  const sockaddr_in local = SocketAddress(Ipv4Address{}, 0);
  if (::bind(handle_.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    return Failed(LastError());
  }
  const SocketEnd nonBlocking = SetNonBlocking(handle_.Get());
  if (nonBlocking.kind != SocketEnd::kNone) return nonBlocking;
  return ConnectBy(handle_.Get(), SocketAddress(address, port), deadline);
}

SocketEnd Socket::SendAll(const std::uint8_t* bytes, std::size_t count,
                          std::chrono::milliseconds wait) {
  while (count > 0) {
    const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    const auto sent =
        ::send(handle_.Get(), reinterpret_cast<const char*>(bytes), piece, kSendFlags);
    if (sent >= 0) {
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
      continue;
    }
    const int error = LastError();
    if (error == kWsaWouldBlock) {
      const SocketEnd waited = Await(handle_.Get(), Ready::kToWrite, Clock::now() + wait);
      if (waited.kind == SocketEnd::kTimedOut) return Failed(kWsaTimedOut);
      if (waited.kind != SocketEnd::kNone) return waited;
    } else if (error != kWsaInterrupted) {
      return Failed(error);
    }
  }
  return {};
}

bool Socket::WaitReadable(std::chrono::milliseconds wait) {
  return Await(handle_.Get(), Ready::kToRead, Clock::now() + wait).kind != SocketEnd::kTimedOut;
}

Received Socket::Receive(std::uint8_t* into, std::size_t capacity, std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  const int wanted = static_cast<int>(std::min<std::size_t>(capacity, INT_MAX));
  for (;;) {
    const auto received = ::recv(handle_.Get(), reinterpret_cast<char*>(into), wanted, 0);
    if (received > 0) return {static_cast<std::size_t>(received), {}};
    if (received == 0) return {0, {SocketEnd::kClosed}};
    const int error = LastError();
    if (error == kWsaWouldBlock) {
      const SocketEnd waited = Await(handle_.Get(), Ready::kToRead, deadline);
      if (waited.kind != SocketEnd::kNone) return {0, waited};
    } else if (error != kWsaInterrupted) {
      return {0, Failed(error)};
    }
  }
}

}  // namespace qelo::platform
