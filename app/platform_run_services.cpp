#include "app/platform_run_services.h"

#include "forecastfile/ini_writer.h"
#include "platform/commandline.h"
#include "platform/message_box.h"
#include "platform/message_loop.h"
#include "platform/module_path.h"

namespace qelo {

PlatformRunServices::PlatformRunServices() = default;
PlatformRunServices::~PlatformRunServices() = default;

void PlatformRunServices::StartTimer(std::uint32_t intervalMs, std::function<void()> onTimer) {
  onTimer_ = std::move(onTimer);
  if (!timer_) timer_ = std::make_unique<platform::WindowTimer>([this] { onTimer_(); });
  timer_->Start(intervalMs);
}

void PlatformRunServices::StopTimer() noexcept {
  if (timer_) timer_->Stop();
}

std::u16string PlatformRunServices::CommandLine() { return platform::ProcessCommandLine(); }

void PlatformRunServices::RequestEnd() noexcept { platform::PostQuit(); }

void PlatformRunServices::FetchPage(HttpClient& client, const std::u16string& address,
                                    ResponseBuffer& buffer) {
  client.FetchPage(address, buffer);
}

std::u16string PlatformRunServices::ExecutablePath() { return platform::ExecutablePath(); }

char16_t PlatformRunServices::PathSeparator() { return platform::PathSeparator(); }

std::unique_ptr<ForecastFile> PlatformRunServices::OpenForecastFile(const std::u16string& path) {
  return std::make_unique<IniWriter>(path);
}

platform::LocalDateTime PlatformRunServices::LocalNow() { return platform::LocalNow(); }

void PlatformRunServices::ShowFailureReport(const std::u16string& text,
                                            const std::u16string& title) {
  platform::ShowErrorMessageBox(text, title);
}

}  // namespace qelo
