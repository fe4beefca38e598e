#include "app/frm_main.h"

#include <exception>
#include <utility>

#include "citydir/unit_china_weather.h"
#include "forecastfile/forecast_entries.h"
#include "platform/gui.h"
#include "retrieval/field_extraction.h"

namespace qelo {
namespace {
constexpr char16_t kUnknownCity[] = u"(未知城市)";
}  // namespace

// The stored description, in its order. The city field's 福州 is a design-time text that every
// run replaces; the text box holds its one line "mmow" until the page is loaded.
TFrmMain::TFrmMain(std::u16string city, std::unique_ptr<PageFetcher> httpClient,
                   RunEnvironment environment)
    : mmow(),
      edtCityName(u"福州"),
      idhtpClient(std::move(httpClient)),
      edtJsonURL(u""),
      tmr1([this](TObject* sender) { tmr1Timer(sender); }),
      city_(std::move(city)),
      environment_(std::move(environment)) {
  DoCreate();
}

void TFrmMain::btn1Click(TObject*) { UpdateWeather(); }

void TFrmMain::tmr1Timer(TObject*) { platform::PostQuit(); }

void TFrmMain::FormCreate(TObject*) {
  edtCityName.SetText(city_);
  if (edtCityName.GetText().empty()) {
    platform::PostQuit();
    return;
  }
  btn1Click(&btn1);
}

// Catches nothing: a failure leaves at once, and what was written stays written. Once the
// watchdog is armed, it is the watchdog that ends the program after a failure.
void TFrmMain::UpdateWeather() {
  // The address field is read back for every later use of the address.
  edtJsonURL.SetText(UnitChinaWeather::CityToWeatherPageUrl(edtCityName.GetText()));
  if (edtJsonURL.GetText().empty()) {
    edtJsonURL.SetText(kUnknownCity);
    platform::PostQuit();
    return;
  }
  responseBuffer_ = std::make_unique<ResponseBuffer>(kCodePageUtf8);
  tmr1.SetInterval(environment_.watchdogInterval);
  tmr1.SetEnabled(true);
  idhtpClient->FetchPage(edtJsonURL.GetText(), *responseBuffer_);
  mmow.SetPageText(responseBuffer_->Text());
  const Forecast forecast = ExtractForecast(mmow);
  const std::unique_ptr<ForecastFile> file =
      environment_.files.Open(ForecastFilePath(environment_.executablePath));
  const platform::Clock& clock = environment_.clock;
  WriteForecast(*file, FormatUpdateTime(clock.Now(), clock), edtCityName.GetText(), forecast);
  file->Close();
  platform::PostQuit();
}

void TFrmMain::DoCreate() {
  try {
    FormCreate(this);
  } catch (...) {
    ReportFailure(std::current_exception());
  }
}

void TFrmMain::ReportFailure(std::exception_ptr failure) {
  environment_.reporter.Show(ReportOf(std::move(failure), environment_.executablePath));
  // Before the watchdog runs nothing would ever end the program; a hidden process that never
  // ends helps no host, so it ends once the report is done.
  if (!tmr1.Running()) platform::PostQuit();
}

}  // namespace qelo
