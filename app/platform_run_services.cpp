#include "app/platform_run_services.h"

#include <utility>

#include "forecastfile/ini_writer.h"
#include "platform/message_box.h"
#include "platform/message_loop.h"
#include "platform/module_path.h"

namespace qelo {

PlatformRunServices::PlatformRunServices(std::function<std::u16string()> cityArgument)
    : cityArgument_(std::move(cityArgument)) {}

std::u16string PlatformRunServices::CityArgument() { return cityArgument_(); }

void PlatformRunServices::RequestEnd() noexcept { platform::PostQuit(); }

std::unique_ptr<PageFetcher> PlatformRunServices::CreateHttpClient() {
  return std::make_unique<HttpClient>();
}

std::u16string PlatformRunServices::ExecutablePath() { return platform::ExecutablePath(); }

std::unique_ptr<ForecastFile> PlatformRunServices::OpenForecastFile(const std::u16string& path) {
  return std::make_unique<IniWriter>(path);
}

platform::LocalDateTime PlatformRunServices::LocalNow() { return platform::LocalNow(); }

void PlatformRunServices::ShowFailureReport(const FailureReport& report) {
  platform::ShowErrorMessageBox(report.text, report.title);
}

}  // namespace qelo
