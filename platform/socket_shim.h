#pragma once
// The per-platform part of the sockets, under the code both builds share (socket.cpp): the
// system's socket headers, the native socket and address-list types, and the few calls whose
// form differs between Windows Sockets and POSIX. Used by socket*.cpp only.

#ifdef _WIN32
#include "platform/win32_handles.h"
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/unique_handle.h"
#endif

#include <chrono>
#include <cstdint>
#include <string>

namespace qelo::platform::shim {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using NativeSocket = SOCKET;
using AddressList = UniqueAddressInfo;
#else
using NativeSocket = int;
struct AddressInfoTraits {
  using Handle = addrinfo*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle list) noexcept { ::freeaddrinfo(list); }
};
using AddressList = UniqueHandle<AddressInfoTraits>;
#endif

NativeSocket Native(std::uintptr_t handle);
// A new IPv4 stream socket; throws SocketError.
NativeSocket OpenStreamSocket();
// Throws SocketError with the code of the last failed socket call.
[[noreturn]] void ThrowLastError();
void SetNonBlocking(NativeSocket socket, bool on);
// Starts the connect of the non-blocking `socket` to `remote`: true when it is made at once,
// false when it goes on in the background (AwaitConnect then tells how it ends); an interrupted
// start is made again. Throws SocketError.
bool StartConnect(NativeSocket socket, const sockaddr_in& remote);
// Waits until the connect in progress ends: false when the deadline comes first; throws
// SocketError with the code of a connect that failed.
bool AwaitConnect(NativeSocket socket, Clock::time_point deadline);
// The system resolver's IPv4 stream addresses of `host`; throws SocketError.
AddressList LookUpStreamAddresses(const std::u16string& host);

}  // namespace qelo::platform::shim
