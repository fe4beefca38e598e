#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/text.h"
#include "platform/socket.h"

namespace qelo::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct AddressInfoTraits {
  using Handle = addrinfo*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle list) { ::freeaddrinfo(list); }
};
using UniqueAddressInfo = UniqueHandle<AddressInfoTraits>;

int Fd(SocketHandle handle) { return static_cast<int>(handle); }

struct ErrnoCode {
  int error;
  int code;
};

// Each errno beside the Windows Sockets code of the same failure.
// clang-format off
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},
    {EBADF, 10009},
    {EACCES, 10013},
    {EFAULT, 10014},
    {EINVAL, 10022},
    {EMFILE, 10024},
    {EWOULDBLOCK, 10035},
    {EAGAIN, 10035},
    {EINPROGRESS, 10036},
    {EALREADY, 10037},
    {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},
    {ENETUNREACH, 10051},
    {ENETRESET, 10052},
    {ECONNABORTED, 10053},
    {ECONNRESET, 10054},
    {ENOBUFS, 10055},
    {EISCONN, 10056},
    {ENOTCONN, 10057},
    {EPIPE, 10058},
    {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},
    {ELOOP, 10062},
    {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
};
// clang-format on

int WsaCodeFromErrno(int error) {
  for (const ErrnoCode& entry : kErrnoCodes) {
    if (entry.error == error) return entry.code;
  }
  return error;
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

[[noreturn]] void ThrowLastError() { throw SocketError(WsaCodeFromErrno(errno)); }

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

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

sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  std::memcpy(&result.sin_addr, address.bytes, 4);
  return result;
}

void SetNonBlocking(int fd, bool on) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) ThrowLastError();
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (::fcntl(fd, F_SETFL, flags) < 0) ThrowLastError();
}

// Starts the connect of the non-blocking `fd`: true when it is made at once, false when it goes
// on in the background. A non-blocking connect does not sleep, so EINTR means it was not made:
// it is made again, and had it been made after all, the second one says EALREADY or EISCONN.
bool StartConnect(int fd, const sockaddr_in& remote) {
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return true;
    if (errno == EISCONN) return true;
    if (errno == EINPROGRESS || errno == EALREADY) return false;
    if (errno != EINTR) ThrowLastError();
  }
}

// False when the deadline comes before the connect in progress ends.
bool AwaitConnect(int fd, Clock::time_point deadline) {
  if (!PollUntil(fd, POLLOUT, deadline)) return false;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) ThrowLastError();
  if (error != 0) throw SocketError(WsaCodeFromErrno(error));
  return true;
}

}  // namespace

Ipv4Address LookUpIpv4(const std::u16string& host) {
  // A name with a NUL inside would be cut short by the C interface and look up another host.
  if (host.find(u'\0') != std::u16string::npos) throw SocketError(kWsaHostNotFound);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(ToUtf8(host).c_str(), nullptr, &hints, &found);
  if (result != 0) throw SocketError(WsaCodeFromResolver(result, errno));
  const UniqueAddressInfo list(found);
  Ipv4Address address;
  const addrinfo* entry = list.Get();
  while (entry != nullptr && (entry->ai_family != AF_INET || entry->ai_addr == nullptr)) {
    entry = entry->ai_next;
  }
  if (entry == nullptr) throw SocketError(kWsaHostNotFound);
  std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
  return address;
}

void SocketTraits::Close(Handle handle) noexcept {
  ::shutdown(Fd(handle), SHUT_WR);
  ::close(Fd(handle));
}

SocketLibrary::SocketLibrary() = default;
SocketLibrary::~SocketLibrary() = default;

// The set-up runs non-blocking only to bound it in time; its outcome and codes are those of a
// blocking connect, and the socket is blocking again afterwards.
std::optional<Socket> Socket::Connect(const Ipv4Address& address, std::uint16_t port,
                                      std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) ThrowLastError();
  Socket socket(static_cast<SocketHandle>(fd));

  const sockaddr_in local = SocketAddress(Ipv4Address{}, 0);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) ThrowLastError();
  SetNonBlocking(fd, true);
  if (!StartConnect(fd, SocketAddress(address, port)) && !AwaitConnect(fd, deadline)) {
    return std::nullopt;
  }
  SetNonBlocking(fd, false);
  return socket;
}

// Sends and receives never block (MSG_DONTWAIT): the wait for room or data is always a poll with
// the time left, so that a call that would block, or a wakeup with nothing to do, waits again.
void Socket::SendAll(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds wait) {
  const int fd = Fd(handle_.Get());
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
  return PollUntil(Fd(handle_.Get()), POLLIN, Clock::now() + wait);
}

std::optional<std::size_t> Socket::ReceiveWithin(std::uint8_t* into, std::size_t capacity,
                                                 std::chrono::milliseconds wait) {
  const int fd = Fd(handle_.Get());
  const auto deadline = Clock::now() + wait;
  for (;;) {
    const ssize_t received = ::recv(fd, into, capacity, MSG_DONTWAIT);
    if (received >= 0) return static_cast<std::size_t>(received);
    if (WouldBlock(errno)) {
      if (!PollUntil(fd, POLLIN, deadline)) return std::nullopt;
    } else if (errno != EINTR) {
      ThrowLastError();
    }
  }
}

}  // namespace qelo::platform
