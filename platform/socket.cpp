#include "platform/socket.h"

#include <utility>

namespace qelo::platform {

namespace {

bool IsLocalhost(const std::u16string& host) {
  static constexpr char16_t kName[] = u"localhost";
  if (host.size() != sizeof(kName) / sizeof(kName[0]) - 1) return false;
  for (std::size_t i = 0; i < host.size(); ++i) {
    char16_t c = host[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != kName[i]) return false;
  }
  return true;
}

}  // namespace

bool ParseDottedQuad(const std::u16string& text, Ipv4Address& address) {
  Ipv4Address parsed;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != u'.') return false;
      ++at;
    }
    unsigned value = 0;
    std::size_t digits = 0;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
      value = value * 10 + static_cast<unsigned>(text[at] - u'0');
      if (value > 255) return false;
      ++at;
      ++digits;
    }
    if (digits == 0) return false;
    parsed.bytes[part] = static_cast<std::uint8_t>(value);
  }
  if (at != text.size()) return false;
  address = parsed;
  return true;
}

Ipv4Address ResolveIpv4(const std::u16string& host) {
  Ipv4Address address;
  if (IsLocalhost(host)) return Ipv4Address{{127, 0, 0, 1}};
  if (ParseDottedQuad(host, address)) return address;
  return detail::LookUpIpv4(host);
}

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
  }
  return *this;
}

Socket::~Socket() { Close(); }

}  // namespace qelo::platform
