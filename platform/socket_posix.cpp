#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <climits>

#include "core/text.h"
#include "platform/socket.h"
#include "platform/socket_shim.h"

namespace qelo::platform {

namespace {

using shim::Clock;
using shim::ThrowLastError;

int WsaCodeFromErrno(int error) {
  switch (error) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
      return 10024;
    case EWOULDBLOCK:
      return 10035;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
      return 10035;
#endif
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return 10054;
    case ENOBUFS:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case EPIPE:
    case ESHUTDOWN:
      return 10058;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    default:
      return error;
  }
}

int WsaCodeFromResolver(int result, int error) {
  switch (result) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return kWsaHostNotFound;
    case EAI_AGAIN:
      return 11002;
    case EAI_FAIL:
      return 11003;
    case EAI_MEMORY:
      return 10055;
    case EAI_FAMILY:
      return 10047;
    case EAI_SOCKTYPE:
      return 10044;
    case EAI_SERVICE:
      return 10109;
    case EAI_BADFLAGS:
      return 10022;
    case EAI_SYSTEM:
      return WsaCodeFromErrno(error);
    default:
      return 11003;
  }
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// Polls for `events` until the deadline; an interrupted or refused poll is made again with the
// time left.
bool PollUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    int ready = ::poll(&entry, 1, RemainingMs(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR && !WouldBlock(errno)) ThrowLastError();
  }
}

}  // namespace

namespace shim {

NativeSocket Native(std::uintptr_t handle) { return static_cast<int>(handle); }

NativeSocket OpenStreamSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) ThrowLastError();
  return fd;
}

void ThrowLastError() { throw SocketError(WsaCodeFromErrno(errno)); }

void SetNonBlocking(NativeSocket fd, bool on) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) ThrowLastError();
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (::fcntl(fd, F_SETFL, flags) < 0) ThrowLastError();
}

// A non-blocking connect does not sleep, so EINTR means it was not made: it is made again. Had it
// been made after all, the second one says EALREADY or EISCONN.
bool StartConnect(NativeSocket fd, const sockaddr_in& remote) {
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return true;
    if (errno == EISCONN) return true;
    if (errno == EINPROGRESS || errno == EALREADY) return false;
    if (errno != EINTR) ThrowLastError();
  }
}

bool AwaitConnect(NativeSocket fd, Clock::time_point deadline) {
  if (!PollUntil(fd, POLLOUT, deadline)) return false;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) ThrowLastError();
  if (error != 0) throw SocketError(WsaCodeFromErrno(error));
  return true;
}

AddressList LookUpStreamAddresses(const std::u16string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(ToUtf8(host).c_str(), nullptr, &hints, &found);
  if (result != 0) throw SocketError(WsaCodeFromResolver(result, errno));
  return AddressList(found);
}

}  // namespace shim

void SocketTraits::Close(Handle handle) noexcept {
  ::shutdown(shim::Native(handle), SHUT_WR);
  ::close(shim::Native(handle));
}

SocketLibrary::SocketLibrary() = default;
SocketLibrary::~SocketLibrary() = default;

// Sends and receives never block (MSG_DONTWAIT): the wait for room or data is always a poll with
// the time left, so that a call that would block, or a wakeup with nothing to do, waits again.
void Socket::SendAll(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds wait) {
  const int fd = shim::Native(handle_.Get());
  while (count > 0) {
    const ssize_t sent = ::send(fd, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) {
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
    } else if (WouldBlock(errno)) {
      if (!PollUntil(fd, POLLOUT, Clock::now() + wait)) throw SocketError(kWsaTimedOut);
    } else if (errno != EINTR) {
      ThrowLastError();
    }
  }
}

bool Socket::WaitReadable(std::chrono::milliseconds wait) {
  return PollUntil(shim::Native(handle_.Get()), POLLIN, Clock::now() + wait);
}

std::optional<std::size_t> Socket::ReceiveWithin(std::uint8_t* into, std::size_t capacity,
                                                 std::chrono::milliseconds wait) {
  const int fd = shim::Native(handle_.Get());
  const auto deadline = Clock::now() + wait;
  const std::size_t wanted = std::min(capacity, kMaxReceiveBytes);
  for (;;) {
    const ssize_t received = ::recv(fd, into, wanted, MSG_DONTWAIT);
    if (received >= 0) return static_cast<std::size_t>(received);
    if (WouldBlock(errno)) {
      if (!PollUntil(fd, POLLIN, deadline)) return std::nullopt;
    } else if (errno != EINTR) {
      ThrowLastError();
    }
  }
}

}  // namespace qelo::platform
