#pragma once
// Taking a page address ("http://host[:port]/path/document") apart for the request.

#include <cstdint>
#include <string>

#include "core/messages.h"

namespace qelo {

inline constexpr std::uint16_t kDefaultHttpPort = 80;

struct PageAddress {
  std::u16string host;  // between "://" and the next "/" (or ":port"), as written
  std::uint16_t port = kDefaultHttpPort;
  std::u16string hostHeader;  // the host, or "host:port" as written when a port is given
  std::u16string target;      // from the "/" after the host to the end; "/" when there is none
};

// The scheme before "://" must be "http" in any case of letters, else
// Failure(messages::kNotHttpAddress). An empty host, or a port that is not a decimal number from 1
// to 65535, gives Failure(messages::kMalformedAddress).
PageAddress ParsePageAddress(const std::u16string& address);

}  // namespace qelo
