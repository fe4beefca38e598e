#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace qelo::platform {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowLastError() { throw SocketError(::WSAGetLastError()); }

SOCKET Native(std::uintptr_t handle) { return static_cast<SOCKET>(handle); }

timeval Remaining(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count();
  left = std::clamp<decltype(left)>(left, 0, static_cast<decltype(left)>(INT_MAX) * 1000000);
  timeval result;
  result.tv_sec = static_cast<long>(left / 1000000);
  result.tv_usec = static_cast<long>(left % 1000000);
  return result;
}

sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  std::memcpy(&result.sin_addr, address.bytes, 4);
  return result;
}

void SetNonBlocking(SOCKET socket, bool on) {
  u_long mode = on ? 1 : 0;
  if (::ioctlsocket(socket, FIONBIO, &mode) == SOCKET_ERROR) ThrowLastError();
}

bool HasNonAscii(const std::u16string& text) {
  return std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0x7F; });
}

// IdnToAscii lives in kernel32 from Windows 8 on; where it is missing the name goes to the
// resolver unchanged, which itself encodes international names on those systems.
std::u16string ToAsciiHost(const std::u16string& host) {
  if (!HasNonAscii(host)) return host;
  using IdnToAsciiFn = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto convert = kernel == nullptr ? nullptr
                                   : reinterpret_cast<IdnToAsciiFn>(reinterpret_cast<void*>(
                                         ::GetProcAddress(kernel, "IdnToAscii")));
  if (convert == nullptr) return host;
  const auto* wide = reinterpret_cast<const wchar_t*>(host.c_str());
  int size = static_cast<int>(host.size());
  int needed = convert(0, wide, size, nullptr, 0);
  if (needed <= 0) return host;
  std::u16string ascii(static_cast<std::size_t>(needed), u'\0');
  if (convert(0, wide, size, reinterpret_cast<wchar_t*>(ascii.data()), needed) != needed) {
    return host;
  }
  return ascii;
}

}  // namespace

SocketLibrary::SocketLibrary() {
  WSADATA data;
  int result = ::WSAStartup(MAKEWORD(2, 2), &data);
  if (result != 0) throw SocketError(result);
}

SocketLibrary::~SocketLibrary() { ::WSACleanup(); }

namespace detail {

Ipv4Address LookUpIpv4(const std::u16string& host) {
  // A name with a NUL inside would be cut short by the C interface and look up another host.
  if (host.find(u'\0') != std::u16string::npos) throw SocketError(kWsaHostNotFound);
  std::u16string name = ToAsciiHost(host);
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  int result =
      ::GetAddrInfoW(reinterpret_cast<const wchar_t*>(name.c_str()), nullptr, &hints, &found);
  if (result != 0) throw SocketError(result);
  Ipv4Address address;
  bool any = false;
  for (ADDRINFOW* entry = found; entry != nullptr && !any; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
    std::memcpy(address.bytes, &ipv4->sin_addr, 4);
    any = true;
  }
  ::FreeAddrInfoW(found);
  if (!any) throw SocketError(kWsaHostNotFound);
  return address;
}

}  // namespace detail

// The set-up runs non-blocking only to bound it in time; its outcome and codes are those of a
// blocking connect, and the socket is blocking again afterwards.
Socket Socket::Connect(const Ipv4Address& address, std::uint16_t port,
                       std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  SOCKET native = ::socket(AF_INET, SOCK_STREAM, 0);
  if (native == INVALID_SOCKET) ThrowLastError();
  Socket socket(static_cast<std::uintptr_t>(native));

  sockaddr_in local = SocketAddress(Ipv4Address{}, 0);
  if (::bind(native, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    ThrowLastError();
  }
  SetNonBlocking(native, true);
  sockaddr_in remote = SocketAddress(address, port);
  if (::connect(native, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) ==
      SOCKET_ERROR) {
    if (::WSAGetLastError() != WSAEWOULDBLOCK) ThrowLastError();
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native, &writable);
    FD_SET(native, &failed);
    timeval wait = Remaining(deadline);
    int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR) ThrowLastError();
    if (ready == 0) throw Failure(u"Connect timed out.");
    if (FD_ISSET(native, &failed)) {
      int error = 0;
      int length = sizeof error;
      if (::getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
          SOCKET_ERROR) {
        ThrowLastError();
      }
      throw SocketError(error != 0 ? error : WSAECONNREFUSED);
    }
  }
  SetNonBlocking(native, false);
  return socket;
}

void Socket::SendAll(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    int sent = ::send(Native(handle_), reinterpret_cast<const char*>(bytes), piece, 0);
    if (sent == SOCKET_ERROR) ThrowLastError();
    bytes += sent;
    count -= static_cast<std::size_t>(sent);
  }
}

bool Socket::WaitReadable(std::chrono::milliseconds wait) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Native(handle_), &readable);
  timeval limit = Remaining(Clock::now() + wait);
  int ready = ::select(0, &readable, nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) ThrowLastError();
  return ready > 0;
}

std::size_t Socket::Receive(std::uint8_t* into, std::size_t capacity) {
  int wanted = static_cast<int>(std::min(capacity, kMaxReceiveBytes));
  int received = ::recv(Native(handle_), reinterpret_cast<char*>(into), wanted, 0);
  if (received == SOCKET_ERROR) ThrowLastError();
  return static_cast<std::size_t>(received);
}

std::optional<std::size_t> Socket::ReceiveWithin(std::uint8_t* into, std::size_t capacity,
                                                 std::chrono::milliseconds wait) {
  if (!WaitReadable(wait)) return std::nullopt;
  return Receive(into, capacity);
}

void Socket::Close() noexcept {
  if (handle_ == kNoHandle) return;
  ::shutdown(Native(handle_), SD_SEND);
  ::closesocket(Native(handle_));
  handle_ = kNoHandle;
}

}  // namespace qelo::platform
