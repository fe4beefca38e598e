#include "retrieval/page_address.h"

#include "core/ascii_text.h"
#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

namespace {

// At most five decimal digits (so "000080" is refused) for a port from 1 to 65535.
std::uint16_t ParsePort(std::u16string_view digits) {
  const auto value = digits.size() > 5 ? std::nullopt : ReadDecimal(digits, 65535);
  if (!value || *value == 0) throw Failure(messages::kMalformedAddress);
  return static_cast<std::uint16_t>(*value);
}

}  // namespace

PageAddress ParsePageAddress(const std::u16string& address) {
  const std::size_t separator = address.find(u"://");
  if (separator == std::u16string::npos ||
      !EqualsIgnoringAsciiCase(std::u16string_view(address).substr(0, separator), u"http")) {
    throw Failure(messages::kNotHttpAddress);
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
  if (page.host.empty()) throw Failure(messages::kMalformedAddress);
  return page;
}

}  // namespace qelo
