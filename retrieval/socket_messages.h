#pragma once
// The failure messages of the socket layer.

#include <string>

namespace qelo {

// "Socket Error # <code>", CR LF, then the code's text ("Connection refused." for 10061); a
// code without a text ends with the line break.
std::u16string SocketErrorMessage(int code);

}  // namespace qelo
