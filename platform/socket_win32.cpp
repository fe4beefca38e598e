#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "platform/socket.h"
#include "platform/text_win32.h"

namespace qelo::platform {

namespace {

struct AddressInfoTraits {
  using Handle = ADDRINFOW*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle list) noexcept { ::FreeAddrInfoW(list); }
};
using UniqueAddressInfo = UniqueHandle<AddressInfoTraits>;

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

}  // namespace

// Windows Sockets report their own codes.
int SocketErrorCode(int systemError) { return systemError; }

SocketLibrary::SocketLibrary() {
  WSADATA data;
  const int result = ::WSAStartup(MAKEWORD(2, 2), &data);
  if (result != 0) started_ = {SocketEnd::kFailed, result};
}

SocketLibrary::~SocketLibrary() {
  if (started_.kind == SocketEnd::kNone) ::WSACleanup();
}

SocketEnd LookUpIpv4(const std::u16string& host, Ipv4Address& address) {
  const std::u16string name = ToAsciiHost(host);
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  const int result = ::GetAddrInfoW(Wide(name), nullptr, &hints, &found);
  if (result != 0) return {SocketEnd::kFailed, result};
  const UniqueAddressInfo list(found);
  for (const ADDRINFOW* entry = list.Get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
    return {};
  }
  return {SocketEnd::kFailed, kWsaHostNotFound};
}

}  // namespace qelo::platform
