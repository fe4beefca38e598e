#pragma once
// Command-line options of the forecast-site emulator.

#include <chrono>
#include <optional>
#include <string>

#include "tools/forecast_page/forecast_page.h"

namespace qelo::emulator {

// How every request is answered; the names are the --mode values.
enum class Mode {
  kNormal,         // 200, Content-Length, keep-alive
  kNotFound,       // 404 with a body
  kCloseAtOnce,    // accept the connection and close it without a byte
  kNotUtf8,        // 200 with a page that is not well-formed UTF-8
  kNoTodayMarker,  // 200 with a page that lacks the today block marker
  kChunked,        // 200, chunked transfer coding
  kUntilClose,     // 200, neither length nor chunks: the body ends when the server closes
  kSlow,           // 200, the page trickles out in small pieces (bounded to a few seconds)
};

struct Options {
  int port = 80;
  Mode mode = Mode::kNormal;
  long maxRequests = 0;  // 0: no limit
  std::chrono::seconds lifetime{120};
  std::string readyFile;                     // receives the bound port once the server listens
  std::string requestLog;                    // every request head is appended here
  std::optional<std::string> printExpected;  // city name or code
  std::size_t pageBytes = 0;      // normal mode: each page padded to this size (0: as it is)
  std::optional<PageDate> date;   // the pages' today; unset: the local date
  std::size_t tricklePieces = 0;  // each page reply sent in this many pieces (0: at once)
};

// Parses argv; throws std::invalid_argument with a message for the user.
Options ParseOptions(int argc, char** argv);
std::optional<Mode> ModeFromName(const std::string& name);
const char* Usage();

}  // namespace qelo::emulator
