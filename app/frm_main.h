#pragma once
// The main window FrmMain: the holder of the run's working data, created hidden and never shown.
// The whole run takes place while it is being created.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "app/components.h"
#include "app/run_services.h"
#include "platform/clock.h"
#include "retrieval/http_client.h"
#include "retrieval/page_lines.h"
#include "retrieval/response_buffer.h"

namespace qelo {

// The watchdog's interval in the shipped program; a test variant passes a shorter one.
inline constexpr std::uint32_t kWatchdogInterval = 300000;

class TFrmMain {
 public:
  static constexpr char16_t kCaption[] = u"FrmMain";
  static constexpr int kClientWidth = 635;
  static constexpr int kClientHeight = 336;

  // Loads the components from the stored description, then runs FormCreate; a failure that
  // escapes it is reported here, and the creation goes on.
  TFrmMain(RunServices& services, const platform::DateTimeFormat& dateTimeFormat,
           std::uint32_t watchdogInterval);
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

  RunServices& services_;
  const platform::DateTimeFormat& dateTimeFormat_;  // read once at program start
  const std::uint32_t watchdogInterval_;
  std::unique_ptr<ResponseBuffer> responseBuffer_;  // lives until the program ends
};

}  // namespace qelo
