#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>
#include <string>

#include "tests/support/loopback_listener.h"
#include "tests/support/socket_test_seam.h"

namespace qelo::test {

namespace {

SOCKET Native(std::uintptr_t handle) { return static_cast<SOCKET>(handle); }

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

LoopbackListener::LoopbackListener(int backlog) {
  SOCKET native = ::socket(AF_INET, SOCK_STREAM, 0);
  if (native == INVALID_SOCKET) Fail("socket");
  handle_ = static_cast<std::uintptr_t>(native);
  sockaddr_in address{};
  address.sin_family = AF_INET;
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

LoopbackListener::~LoopbackListener() { ::closesocket(Native(handle_)); }

platform::Socket LoopbackListener::Accept(std::chrono::milliseconds wait) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Native(handle_), &readable);
  timeval limit = ToTimeval(wait);
  if (::select(0, &readable, nullptr, nullptr, &limit) <= 0) return {};
  SOCKET accepted = ::accept(Native(handle_), nullptr, nullptr);
  if (accepted == INVALID_SOCKET) return {};
  u_long nonBlocking = 1;
  ::ioctlsocket(accepted, FIONBIO, &nonBlocking);
  return platform::SocketTestSeam::Adopt(static_cast<std::uintptr_t>(accepted));
}

long long SendSome(platform::Socket& socket, const char* bytes, std::size_t count,
                   std::chrono::milliseconds wait) {
  SOCKET native = Native(platform::SocketTestSeam::NativeHandle(socket));
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(native, &writable);
  timeval limit = ToTimeval(wait);
  int ready = ::select(0, nullptr, &writable, nullptr, &limit);
  if (ready == SOCKET_ERROR) return -1;
  if (ready == 0) return 0;
  int piece = static_cast<int>(count > (1u << 30) ? (1u << 30) : count);
  int sent = ::send(native, bytes, piece, 0);
  if (sent != SOCKET_ERROR) return sent;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

void ResetConnection(platform::Socket& socket) {
  if (!socket.IsOpen()) return;
  linger option{1, 0};
  SOCKET native = Native(platform::SocketTestSeam::Release(socket));
  ::setsockopt(native, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
               sizeof option);
  ::closesocket(native);
}

bool ResetReadsAsOrderlyClose() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qelo::test
