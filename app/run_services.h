#pragma once
// What the main window's run needs of its environment: the process, the thread's queue and
// timer, the page fetch, the forecast file, the clock and the failure report. The program wires
// the platform and the subsystems in; tests put a recording stand-in in its place.

#include <cstdint>
#include <memory>
#include <string>

#include "app/components.h"
#include "forecastfile/forecast_file.h"
#include "platform/clock.h"
#include "retrieval/http_client.h"
#include "retrieval/response_buffer.h"

namespace qelo {

class RunServices : public TimerBackend {
 public:
  // The process's whole command line, beginning with the program's name.
  virtual std::u16string CommandLine() = 0;
  // Posts the quit message; the end comes when a message loop takes it.
  virtual void RequestEnd() noexcept = 0;
  virtual void FetchPage(HttpClient& client, const std::u16string& address,
                         ResponseBuffer& buffer) = 0;
  virtual std::u16string ExecutablePath() = 0;
  virtual char16_t PathSeparator() = 0;
  virtual std::unique_ptr<ForecastFile> OpenForecastFile(const std::u16string& path) = 0;
  virtual platform::LocalDateTime LocalNow() = 0;
  // The modal report of a failure; returns when it has been dismissed.
  virtual void ShowFailureReport(const std::u16string& text, const std::u16string& title) = 0;
};

}  // namespace qelo
