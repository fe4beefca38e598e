#include "tools/emulator/emulator_options.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace qelo::emulator {
namespace {

constexpr std::array<std::pair<const char*, Mode>, 8> kModeNames{{
    {"normal", Mode::kNormal},
    {"not-found", Mode::kNotFound},
    {"close-at-once", Mode::kCloseAtOnce},
    {"not-utf8", Mode::kNotUtf8},
    {"no-today-marker", Mode::kNoTodayMarker},
    {"chunked", Mode::kChunked},
    {"until-close", Mode::kUntilClose},
    {"slow", Mode::kSlow},
}};

// --page-bytes: large enough for the client's whole response buffer, small enough to hold.
constexpr long kMaxPageBytes = 64L * 1024 * 1024;

long ParseNumber(const std::string& option, const std::string& text, long low, long high) {
  std::size_t used = 0;
  long value = 0;
  try {
    value = std::stol(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value < low || value > high) {
    throw std::invalid_argument(option + " needs a number from " + std::to_string(low) + " to " +
                                std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

}  // namespace

std::optional<Mode> ModeFromName(const std::string& name) {
  for (const auto& [text, mode] : kModeNames) {
    if (name == text) return mode;
  }
  return std::nullopt;
}

const char* Usage() {
  return "usage: forecast_emulator [--port N] [--mode MODE] [--once | --max-requests N]\n"
         "                         [--lifetime-seconds S] [--ready-file PATH]\n"
         "                         [--request-log PATH] [--page-bytes N] [--date YYYY-MM-DD]\n"
         "                         [--trickle PIECES]\n"
         "       forecast_emulator [--mode MODE] [--date YYYY-MM-DD]\n"
         "                         --print-expected <city name or code>\n"
         "MODE: normal, not-found, close-at-once, not-utf8, no-today-marker, chunked,\n"
         "      until-close, slow\n"
         "The pages are those of --date, by default of today's local date. --trickle sends\n"
         "each page reply, in the framing of its mode, in that many pieces 50 ms apart.\n";
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
      return argv[++i];
    };
    if (option == "--port") {
      options.port = static_cast<int>(ParseNumber(option, value(), 0, 65535));
    } else if (option == "--mode") {
      const std::string name = value();
      const auto mode = ModeFromName(name);
      if (!mode) throw std::invalid_argument("unknown mode '" + name + "'");
      options.mode = *mode;
    } else if (option == "--once") {
      options.maxRequests = 1;
    } else if (option == "--max-requests") {
      options.maxRequests = ParseNumber(option, value(), 1, 100000000);
    } else if (option == "--lifetime-seconds") {
      options.lifetime = std::chrono::seconds(ParseNumber(option, value(), 1, 86400));
    } else if (option == "--ready-file") {
      options.readyFile = value();
    } else if (option == "--request-log") {
      options.requestLog = value();
    } else if (option == "--page-bytes") {
      options.pageBytes = static_cast<std::size_t>(ParseNumber(option, value(), 0, kMaxPageBytes));
    } else if (option == "--date") {
      const std::string text = value();
      options.date = ParsePageDate(text);
      if (!options.date)
        throw std::invalid_argument("--date needs a day as YYYY-MM-DD, not '" + text + "'");
    } else if (option == "--trickle") {
      options.tricklePieces = static_cast<std::size_t>(ParseNumber(option, value(), 1, 1000));
    } else if (option == "--print-expected") {
      options.printExpected = value();
    } else {
      throw std::invalid_argument("unknown option '" + option + "'");
    }
  }
  return options;
}

}  // namespace qelo::emulator
