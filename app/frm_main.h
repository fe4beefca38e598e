#pragma once
// The main window FrmMain: the holder of the run's working data, created hidden and never shown.
// The whole run takes place while it is being created.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "app/components.h"
#include "app/failure_report.h"
#include "forecastfile/forecast_file.h"
#include "platform/clock.h"
#include "retrieval/http_client.h"
#include "retrieval/page_lines.h"
#include "retrieval/response_buffer.h"

namespace qelo {

// What a run takes from outside the program, each through a seam of one job, as ninja keeps the
// disk behind DiskInterface: the program passes the system's, a test its own. The page comes
// through the main window's HTTP client component.
struct RunEnvironment {
  ForecastFiles& files;
  FailureReporter& reporter;
  const platform::Clock& clock;
  std::u16string executablePath;  // read once at the start
  std::uint32_t watchdogInterval;
};

class TFrmMain {
 public:
  static constexpr char16_t kCaption[] = u"FrmMain";
  static constexpr int kClientWidth = 635;
  static constexpr int kClientHeight = 336;

  // Loads the components from the stored description, `httpClient` among them, then runs
  // FormCreate for `city`; a failure that escapes it is reported here, and the creation goes on.
  TFrmMain(std::u16string city, std::unique_ptr<PageFetcher> httpClient,
           RunEnvironment environment);
  TFrmMain(const TFrmMain&) = delete;
  TFrmMain& operator=(const TFrmMain&) = delete;

  TButton btn1;
  PageLines mmow;
  TEdit edtCityName;
  std::unique_ptr<PageFetcher> idhtpClient;  // released with the window
  TEdit edtJsonURL;
  TTimer tmr1;

  void btn1Click(TObject* sender);
  void tmr1Timer(TObject* sender);
  void FormCreate(TObject* sender);

 private:
  void UpdateWeather();
  void DoCreate();
  void ReportFailure(std::exception_ptr failure);

  const std::u16string city_;
  const RunEnvironment environment_;
  std::unique_ptr<ResponseBuffer> responseBuffer_;  // lives until the program ends
};

}  // namespace qelo
