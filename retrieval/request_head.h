#pragma once
// The request head of the page fetch, byte for byte.

#include <string>

#include "retrieval/page_address.h"

namespace qelo {

inline constexpr char kAcceptValue[] =
    "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
inline constexpr char kUserAgentValue[] = "Mozilla/3.0 (compatible; Indy Library)";

// "GET <target> HTTP/1.1", Host, Accept, Accept-Encoding: identity, User-Agent and the empty
// line, each ending with CR LF. Every UTF-16 code unit becomes one byte; one outside ASCII goes
// out as "?".
std::string BuildRequestHead(const PageAddress& page);

}  // namespace qelo
