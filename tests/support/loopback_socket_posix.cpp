#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/support/loopback_socket.h"

namespace qelo::test {

namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("loopback listener: ") + what + ": " + std::strerror(errno));
}

}  // namespace

LoopbackListener::LoopbackListener(int port, int backlog) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) Fail("socket");
  handle_ = fd;
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) < 0 || ::listen(fd, backlog) < 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    Fail("bind/listen");
  }
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() { ::close(handle_); }

PeerSocket LoopbackListener::Accept(std::chrono::milliseconds wait) {
  pollfd entry{handle_, POLLIN, 0};
  if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0) return {};
  int fd = ::accept4(handle_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return {};
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return PeerSocket(fd);
}

int AwaitReady(const PeerSocket& socket, bool reading, std::chrono::milliseconds wait) {
  pollfd entry{socket.Get(), static_cast<short>(reading ? POLLIN : POLLOUT), 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(wait.count()));
  if (ready < 0) return errno == EINTR ? 0 : -1;  // a signal ends the wait as no answer
  return ready;
}

namespace {

long long Outcome(ssize_t count) {
  if (count >= 0) return count;
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kWouldBlock : -1;
}

}  // namespace

long long SendNow(PeerSocket& socket, const char* bytes, std::size_t count) {
  return Outcome(::send(socket.Get(), bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT));
}

long long ReceiveNow(PeerSocket& socket, char* into, std::size_t capacity) {
  return Outcome(::recv(socket.Get(), into, capacity, MSG_DONTWAIT));
}

void ShutdownSending(PeerSocket& socket) { ::shutdown(socket.Get(), SHUT_WR); }

void ResetConnection(PeerSocket& socket) {
  if (!socket.Valid()) return;
  linger option{1, 0};
  int fd = socket.Release();
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  ::close(fd);
}

bool ResetReadsAsOrderlyClose() { return false; }

}  // namespace qelo::test
