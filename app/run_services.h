#pragma once
// What the main window's run needs of its environment: the city argument, the end request, the
// HTTP client, the executable's path, the forecast file, the clock and the failure report. The
// program wires the platform and the subsystems in; tests put a recording stand-in in its place.
// The watchdog is no part of it: it is the window's own timer on the thread's message queue.

#include <memory>
#include <string>

#include "app/failure_report.h"
#include "forecastfile/forecast_file.h"
#include "platform/clock.h"
#include "retrieval/http_client.h"

namespace qelo {

class RunServices {
 public:
  virtual ~RunServices() = default;
  // Command-line argument 1, the city, as the platform passes it to the program.
  virtual std::u16string CityArgument() = 0;
  // Posts the quit message; the end comes when a message loop takes it.
  virtual void RequestEnd() noexcept = 0;
  // The window's HTTP client component, made as the window loads its components.
  virtual std::unique_ptr<PageFetcher> CreateHttpClient() = 0;
  virtual std::u16string ExecutablePath() = 0;
  virtual std::unique_ptr<ForecastFile> OpenForecastFile(const std::u16string& path) = 0;
  virtual platform::LocalDateTime LocalNow() = 0;
  // The modal report of a failure; returns when it has been dismissed.
  virtual void ShowFailureReport(const FailureReport& report) = 0;
};

}  // namespace qelo
