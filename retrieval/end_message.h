#pragma once
// The words of a connection's end, the one place where the fetch's socket failures get their
// text.

#include <string>

#include "platform/socket.h"

namespace qelo {

inline constexpr platform::SocketEnd kPeerClosed{platform::SocketEnd::kClosed};

// The words of an end: "Connection Closed Gracefully.", "Read timed out.", or for a failure
// "Socket Error # 10054", CR LF, "Connection reset by peer." (nothing after the line break for a
// code without a text of its own).
std::u16string EndMessage(const platform::SocketEnd& end);
// Throws Failure with the words of `end`.
[[noreturn]] void ThrowEnd(const platform::SocketEnd& end);

}  // namespace qelo
