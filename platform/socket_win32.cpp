#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/socket.h"
#include "platform/text_win32.h"

namespace qelo::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct AddressInfoTraits {
  using Handle = ADDRINFOW*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle list) noexcept { ::FreeAddrInfoW(list); }
};
using UniqueAddressInfo = UniqueHandle<AddressInfoTraits>;

SOCKET Native(SocketHandle handle) { return static_cast<SOCKET>(handle); }

[[noreturn]] void ThrowLastError() { throw SocketError(::WSAGetLastError()); }

timeval Remaining(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count();
  left = std::clamp<decltype(left)>(left, 0, static_cast<decltype(left)>(INT_MAX) * 1000000);
  timeval result;
  result.tv_sec = static_cast<long>(left / 1000000);
  result.tv_usec = static_cast<long>(left % 1000000);
  return result;
}

enum class Waited { kReadable, kWritable };

// Selects `socket` for reading or writing until the deadline; an interrupted select is made
// again with the time left.
bool SelectUntil(SOCKET socket, Waited waited, Clock::time_point deadline) {
  for (;;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit = Remaining(deadline);
    const bool reading = waited == Waited::kReadable;
    const int ready =
        ::select(0, reading ? &set : nullptr, reading ? nullptr : &set, nullptr, &limit);
    if (ready != SOCKET_ERROR) return ready > 0;
    if (::WSAGetLastError() != WSAEINTR) ThrowLastError();
  }
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
  const wchar_t* wide = Wide(host);
  int size = static_cast<int>(host.size());
  int needed = convert(0, wide, size, nullptr, 0);
  if (needed <= 0) return host;
  std::u16string ascii(static_cast<std::size_t>(needed), u'\0');
  if (convert(0, wide, size, WideBuffer(ascii), needed) != needed) {
    return host;
  }
  return ascii;
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

// Starts the connect of the non-blocking `socket`: true when it is made at once, false when it
// goes on in the background; an interrupted start is made again.
bool StartConnect(SOCKET socket, const sockaddr_in& remote) {
  for (;;) {
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
      return true;
    }
    const int error = ::WSAGetLastError();
    if (error == WSAEISCONN) return true;
    if (error == WSAEWOULDBLOCK || error == WSAEALREADY) return false;
    if (error != WSAEINTR) ThrowLastError();
  }
}

// False when the deadline comes before the connect in progress ends.
bool AwaitConnect(SOCKET socket, Clock::time_point deadline) {
  fd_set writable;
  fd_set failed;
  int ready = 0;
  do {
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval wait = Remaining(deadline);
    ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR && ::WSAGetLastError() != WSAEINTR) ThrowLastError();
  } while (ready == SOCKET_ERROR);
  if (ready == 0) return false;
  if (FD_ISSET(socket, &failed)) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
        SOCKET_ERROR) {
      ThrowLastError();
    }
    throw SocketError(error != 0 ? error : WSAECONNREFUSED);
  }
  return true;
}

}  // namespace

Ipv4Address LookUpIpv4(const std::u16string& host) {
  // A name with a NUL inside would be cut short by the C interface and look up another host.
  if (host.find(u'\0') != std::u16string::npos) throw SocketError(kWsaHostNotFound);
  const std::u16string name = ToAsciiHost(host);
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  const int result = ::GetAddrInfoW(Wide(name), nullptr, &hints, &found);
  if (result != 0) throw SocketError(result);
  const UniqueAddressInfo list(found);
  for (const ADDRINFOW* entry = list.Get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    Ipv4Address address;
    std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
    return address;
  }
  throw SocketError(kWsaHostNotFound);
}

void SocketTraits::Close(Handle handle) noexcept {
  ::shutdown(Native(handle), SD_SEND);
  ::closesocket(Native(handle));
}

SocketLibrary::SocketLibrary() {
  WSADATA data;
  int result = ::WSAStartup(MAKEWORD(2, 2), &data);
  if (result != 0) throw SocketError(result);
}

SocketLibrary::~SocketLibrary() { ::WSACleanup(); }

// The set-up runs non-blocking only to bound it in time; its outcome and codes are those of a
// blocking connect, and the socket is blocking again afterwards.
std::optional<Socket> Socket::Connect(const Ipv4Address& address, std::uint16_t port,
                                      std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const SOCKET native = ::socket(AF_INET, SOCK_STREAM, 0);
  if (native == INVALID_SOCKET) ThrowLastError();
  Socket socket(static_cast<SocketHandle>(native));

  const sockaddr_in local = SocketAddress(Ipv4Address{}, 0);
  if (::bind(native, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ThrowLastError();
  }
  SetNonBlocking(native, true);
  if (!StartConnect(native, SocketAddress(address, port)) && !AwaitConnect(native, deadline)) {
    return std::nullopt;
  }
  SetNonBlocking(native, false);
  return socket;
}

void Socket::SendAll(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds wait) {
  const SOCKET native = Native(handle_.Get());
  while (count > 0) {
    int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    int sent = ::send(native, reinterpret_cast<const char*>(bytes), piece, 0);
    if (sent != SOCKET_ERROR) {
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
    } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (!SelectUntil(native, Waited::kWritable, Clock::now() + wait)) {
        throw SocketError(kWsaTimedOut);
      }
    } else if (::WSAGetLastError() != WSAEINTR) {
      ThrowLastError();
    }
  }
}

bool Socket::WaitReadable(std::chrono::milliseconds wait) {
  return SelectUntil(Native(handle_.Get()), Waited::kReadable, Clock::now() + wait);
}

std::optional<std::size_t> Socket::ReceiveWithin(std::uint8_t* into, std::size_t capacity,
                                                 std::chrono::milliseconds wait) {
  const SOCKET native = Native(handle_.Get());
  const auto deadline = Clock::now() + wait;
  const int wanted = static_cast<int>(std::min<std::size_t>(capacity, INT_MAX));
  for (;;) {
    if (!SelectUntil(native, Waited::kReadable, deadline)) return std::nullopt;
    int received = ::recv(native, reinterpret_cast<char*>(into), wanted, 0);
    if (received != SOCKET_ERROR) return static_cast<std::size_t>(received);
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINTR) ThrowLastError();
  }
}

}  // namespace qelo::platform
