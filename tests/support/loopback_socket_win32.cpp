#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>
#include <string>

#include "tests/support/loopback_socket.h"

namespace qelo::test {

namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("loopback listener: ") + what);
}

timeval ToTimeval(std::chrono::milliseconds wait) {
  timeval result;
  result.tv_sec = static_cast<long>(wait.count() / 1000);
  result.tv_usec = static_cast<long>(wait.count() % 1000 * 1000);
  return result;
}

}  // namespace

LoopbackListener::LoopbackListener(int port, int backlog) {
  SOCKET native = ::socket(AF_INET, SOCK_STREAM, 0);
  if (native == INVALID_SOCKET) Fail("socket");
  handle_ = native;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (::bind(native, reinterpret_cast<sockaddr*>(&address), length) == SOCKET_ERROR ||
      ::listen(native, backlog) == SOCKET_ERROR ||
      ::getsockname(native, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) {
    ::closesocket(native);
    Fail("bind/listen");
  }
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() { ::closesocket(handle_); }

PeerSocket LoopbackListener::Accept(std::chrono::milliseconds wait) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(handle_, &readable);
  timeval limit = ToTimeval(wait);
  if (::select(0, &readable, nullptr, nullptr, &limit) <= 0) return {};
  SOCKET accepted = ::accept(handle_, nullptr, nullptr);
  if (accepted == INVALID_SOCKET) return {};
  u_long nonBlocking = 1;
  ::ioctlsocket(accepted, FIONBIO, &nonBlocking);
  const BOOL noDelay = TRUE;
  ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
  return PeerSocket(accepted);
}

int AwaitReady(const PeerSocket& socket, bool reading, std::chrono::milliseconds wait) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket.Get(), &set);
  timeval limit = ToTimeval(wait);
  const int ready =
      ::select(0, reading ? &set : nullptr, reading ? nullptr : &set, nullptr, &limit);
  return ready == SOCKET_ERROR ? -1 : ready;
}

namespace {

long long Outcome(int count) {
  if (count != SOCKET_ERROR) return count;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : -1;
}

}  // namespace

// A send of at most 1 GiB, whose count an int holds.
long long SendNow(PeerSocket& socket, const char* bytes, std::size_t count) {
  const int piece = static_cast<int>(count > (1u << 30) ? (1u << 30) : count);
  return Outcome(::send(socket.Get(), bytes, piece, 0));
}

long long ReceiveNow(PeerSocket& socket, char* into, std::size_t capacity) {
  return Outcome(::recv(socket.Get(), into, static_cast<int>(capacity), 0));
}

void ShutdownSending(PeerSocket& socket) { ::shutdown(socket.Get(), SD_SEND); }

void ResetConnection(PeerSocket& socket) {
  if (!socket.Valid()) return;
  linger option{1, 0};
  SOCKET native = socket.Release();
  ::setsockopt(native, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
               sizeof option);
  ::closesocket(native);
}

bool ResetReadsAsOrderlyClose() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qelo::test
