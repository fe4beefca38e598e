#pragma once
// The failure messages of the socket layer, and the one place that gives them.

#include <string>
#include <utility>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/socket_error.h"

namespace qelo {

// "Socket Error # <code>", CR LF, then the code's text ("Connection refused." for 10061); a
// code without a text ends with the line break.
std::u16string SocketErrorMessage(int code);

// Runs `step` and returns what it returns. This is where the socket layer's failures become
// the run's: a SocketError leaves as Failure(SocketErrorMessage(code)), a ConnectTimeout as
// Failure(messages::kConnectTimedOut).
template <typename Step>
decltype(auto) WithSocketMessages(Step&& step) {
  try {
    return std::forward<Step>(step)();
  } catch (const platform::SocketError& error) {
    throw Failure(SocketErrorMessage(error.Code()));
  } catch (const platform::ConnectTimeout&) {
    throw Failure(messages::kConnectTimedOut);
  }
}

}  // namespace qelo
