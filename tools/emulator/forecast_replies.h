#pragma once
// The emulator's answers: the HTTP reply of each mode for a forecast page or an unknown path.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tools/emulator/emulator_options.h"
#include "tools/emulator/loopback_http_server.h"

namespace qelo::emulator {

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
