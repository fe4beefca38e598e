#pragma once
// The emulator's answers: the HTTP reply of each mode for a forecast page or an unknown path,
// written to a connection of the loopback server.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/loopback_http_server.h"
#include "tools/emulator/emulator_options.h"

namespace qelo::emulator {

struct Request {
  std::string method;
  std::string target;
  std::string head;  // the request line and header lines as received, blank line included
};

struct Reply {
  std::vector<std::string> pieces;  // written one after another
  std::chrono::milliseconds pauseBetweenPieces{0};
  bool keepAlive = false;  // wait for a further request on the connection afterwards
  // Written after the pieces; shared, so that a large body is not copied for every request.
  std::shared_ptr<const std::string> sharedBody;
};

// The method and target of a request head; none when its first line lacks either.
std::optional<Request> ParseRequest(std::string head);
// Writes the reply; false when it could not go out whole (the client gone, the server stopped).
bool SendReply(test::LoopbackConnection& connection, const Reply& reply);

// The city code of a request target "/weather/<code>.shtml" when the code is in the city table.
std::optional<std::string> CityCodeOfTarget(std::string_view target);

// 200 with `page` in the framing of `mode` (normal, chunked, until-close or slow).
Reply PageReply(Mode mode, const std::string& page);
Reply NotFoundReply();
// The same bytes as `reply` in `pieces` pieces of about equal size with a pause between them.
Reply Trickled(Reply reply, std::size_t pieces);
// 200 with `page` as a Content-Length body that every request shares (for large pages).
Reply SharedPageReply(std::shared_ptr<const std::string> page);

}  // namespace qelo::emulator
