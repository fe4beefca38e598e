#include "retrieval/page_address.h"

#include "platform/failure.h"

namespace qelo {

namespace {

bool IsHttpScheme(std::u16string_view scheme) {
  static constexpr std::u16string_view kHttp = u"http";
  if (scheme.size() != kHttp.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    char16_t c = scheme[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != kHttp[i]) return false;
  }
  return true;
}

std::uint16_t ParsePort(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 5) throw platform::Failure(kMalformedAddressMessage);
  unsigned value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') throw platform::Failure(kMalformedAddressMessage);
    value = value * 10 + static_cast<unsigned>(c - u'0');
  }
  if (value == 0 || value > 65535) throw platform::Failure(kMalformedAddressMessage);
  return static_cast<std::uint16_t>(value);
}

}  // namespace

PageAddress ParsePageAddress(const std::u16string& address) {
  const std::size_t separator = address.find(u"://");
  if (separator == std::u16string::npos ||
      !IsHttpScheme(std::u16string_view(address).substr(0, separator))) {
    throw platform::Failure(kNotHttpAddressMessage);
  }
  const std::size_t hostStart = separator + 3;
  const std::size_t pathStart = address.find(u'/', hostStart);
  PageAddress page;
  page.hostHeader = address.substr(hostStart, pathStart - hostStart);
  page.target = pathStart == std::u16string::npos ? u"/" : address.substr(pathStart);

  const std::size_t colon = page.hostHeader.find(u':');
  page.host = page.hostHeader.substr(0, colon);
  if (colon != std::u16string::npos) {
    page.port = ParsePort(std::u16string_view(page.hostHeader).substr(colon + 1));
  }
  if (page.host.empty()) throw platform::Failure(kMalformedAddressMessage);
  return page;
}

}  // namespace qelo
