// forecast_emulator: the forecast web site as the program sees it, on 127.0.0.1, for the
// end-to-end tests and the main job's demonstration run. Not part of the shipped program.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "citydir/unit_china_weather.h"
#include "core/text.h"
#include "tools/emulator/emulator_options.h"
#include "tools/emulator/forecast_replies.h"
#include "tools/emulator/served_pages.h"

namespace qelo::emulator {
namespace {

struct City {
  std::string name;
  std::string code;
};

// A city name (the first row with that name, as the program looks it up) or a city code.
City FindCity(const std::string& nameOrCode) {
  const std::u16string wanted = FromUtf8(nameOrCode);
  for (int i = 1; i <= UnitChinaWeather::CityCount; ++i) {
    if (UnitChinaWeather::CityName(i) == wanted || UnitChinaWeather::CityCode(i) == wanted) {
      return {ToUtf8(UnitChinaWeather::CityName(i)), ToUtf8(UnitChinaWeather::CityCode(i))};
    }
  }
  throw std::invalid_argument("'" + nameOrCode + "' is neither a city name nor a city code");
}

// The pages' today: --date, or the local date of this machine, so that a demonstration run shows
// this week's forecast.
PageDate PagesDate(const Options& options) {
  if (options.date) return *options.date;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) throw std::runtime_error("no local date");
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int PrintExpected(const Options& options) {
  const City city = FindCity(*options.printExpected);
  for (const std::string& line :
       ExpectedForecastLines(options.mode, city.code, city.name, PagesDate(options))) {
    std::cout << line << '\n';
  }
  return 0;
}

void WriteReadyFile(const std::string& path, int port) {
  const std::string partial = path + ".partial";
  {
    std::ofstream file(partial, std::ios::trunc);
    file << port << '\n';
    if (!file) throw std::runtime_error("cannot write " + partial);
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    throw std::runtime_error("cannot rename " + partial);
  }
}

class RequestLog {
 public:
  explicit RequestLog(const std::string& path) {
    if (!path.empty()) file_.open(path, std::ios::binary | std::ios::app);
  }
  void Add(const std::string& head) {
    if (!file_.is_open()) return;
    const std::lock_guard lock(mutex_);
    file_ << head << std::flush;
  }

 private:
  std::mutex mutex_;
  std::ofstream file_;
};

// The pages of --page-bytes: each city's page padded with an HTML comment, made once.
class PaddedPages {
 public:
  PaddedPages(std::size_t bytes, PageDate today) : bytes_(bytes), today_(today) {}
  std::shared_ptr<const std::string> Of(const std::string& code) {
    const std::lock_guard lock(mutex_);
    auto& page = pages_[code];
    if (!page) {
      std::string text = ServedPage(Mode::kNormal, code, today_);
      const std::string open = "\n<!--", close = "-->\n";
      if (text.size() + open.size() + close.size() < bytes_) {
        text += open;
        text.append(bytes_ - text.size() - close.size(), ' ');
        text += close;
      }
      page = std::make_shared<const std::string>(std::move(text));
    }
    return page;
  }

 private:
  std::size_t bytes_;
  PageDate today_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const std::string>> pages_;
};

// A connection's first request must come within this, each further one on a connection kept
// alive within 5 s of the last reply.
constexpr std::chrono::seconds kFirstRequestWait{10};
constexpr std::chrono::seconds kKeepAliveIdle{5};

int Serve(const Options& options) {
  test::LoopbackHttpServer server(options.port);
  RequestLog log(options.requestLog);
  const PageDate today = PagesDate(options);
  PaddedPages padded(options.pageBytes, today);
  const auto replyTo = [&](const Request& request) {
    log.Add(request.head);
    const auto code = CityCodeOfTarget(request.target);
    if (request.method != "GET" || !code || options.mode == Mode::kNotFound) {
      return NotFoundReply();
    }
    Reply reply = options.pageBytes > 0 && options.mode == Mode::kNormal
                      ? SharedPageReply(padded.Of(*code))
                      : PageReply(options.mode, ServedPage(options.mode, *code, today));
    return options.tricklePieces > 0 ? Trickled(std::move(reply), options.tricklePieces) : reply;
  };
  // A connection closed at once counts as one answered request.
  std::atomic<long> answered{0};
  const auto count = [&] {
    if (++answered == options.maxRequests) server.Stop();
  };
  const auto answer = [&](test::LoopbackConnection& connection) {
    if (options.mode == Mode::kCloseAtOnce) return count();
    std::chrono::milliseconds wait = kFirstRequestWait;
    while (auto head = connection.NextRequestHead(wait)) {
      const auto request = ParseRequest(std::move(*head));
      if (!request) return;
      const Reply reply = replyTo(*request);
      const bool sent = SendReply(connection, reply);
      count();
      if (!sent || !reply.keepAlive) return;
      wait = kKeepAliveIdle;
    }
  };
  if (!options.readyFile.empty()) WriteReadyFile(options.readyFile, server.Port());
  server.Serve(answer, std::chrono::steady_clock::now() + options.lifetime);
  return 0;
}

}  // namespace
}  // namespace qelo::emulator

int main(int argc, char** argv) {
  using namespace qelo::emulator;
  try {
    const Options options = ParseOptions(argc, argv);
    return options.printExpected ? PrintExpected(options) : Serve(options);
  } catch (const std::invalid_argument& error) {
    std::cerr << "forecast_emulator: " << error.what() << '\n' << Usage();
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "forecast_emulator: " << error.what() << '\n';
    return 1;
  }
}
