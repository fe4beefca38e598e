#include "platform/socket.h"

#include <cstring>

#include "platform/socket_shim.h"

namespace qelo::platform {
namespace {

sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  std::memcpy(&result.sin_addr, address.bytes, 4);
  return result;
}

}  // namespace

Ipv4Address LookUpIpv4(const std::u16string& host) {
  // A name with a NUL inside would be cut short by the C interface and look up another host.
  if (host.find(u'\0') != std::u16string::npos) throw SocketError(kWsaHostNotFound);
  const shim::AddressList found = shim::LookUpStreamAddresses(host);
  for (const auto* entry = found.Get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    Ipv4Address address;
    std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
    return address;
  }
  throw SocketError(kWsaHostNotFound);
}

// The set-up runs non-blocking only to bound it in time; its outcome and codes are those of a
// blocking connect, and the socket is blocking again afterwards.
Socket Socket::Connect(const Ipv4Address& address, std::uint16_t port,
                       std::chrono::milliseconds timeout) {
  const auto deadline = shim::Clock::now() + timeout;
  Socket socket(static_cast<SocketTraits::Handle>(shim::OpenStreamSocket()));
  const shim::NativeSocket native = shim::Native(socket.handle_.Get());

  const sockaddr_in local = SocketAddress(Ipv4Address{}, 0);
  if (::bind(native, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    shim::ThrowLastError();
  }
  shim::SetNonBlocking(native, true);
  const sockaddr_in remote = SocketAddress(address, port);
  if (!shim::StartConnect(native, remote) && !shim::AwaitConnect(native, deadline)) {
    throw ConnectTimeout();
  }
  shim::SetNonBlocking(native, false);
  return socket;
}

}  // namespace qelo::platform
