#pragma once
// The run's environment as the program has it: the platform layer and the subsystems.

#include <memory>

#include "app/run_services.h"
#include "platform/window_timer.h"

namespace qelo {

class PlatformRunServices final : public RunServices {
 public:
  PlatformRunServices();
  ~PlatformRunServices() override;

  void StartTimer(std::uint32_t intervalMs, std::function<void()> onTimer) override;
  void StopTimer() noexcept override;
  std::u16string CommandLine() override;
  void RequestEnd() noexcept override;
  void FetchPage(HttpClient& client, const std::u16string& address,
                 ResponseBuffer& buffer) override;
  std::u16string ExecutablePath() override;
  char16_t PathSeparator() override;
  std::unique_ptr<ForecastFile> OpenForecastFile(const std::u16string& path) override;
  platform::LocalDateTime LocalNow() override;
  void ShowFailureReport(const std::u16string& text, const std::u16string& title) override;

 private:
  std::function<void()> onTimer_;
  std::unique_ptr<platform::WindowTimer> timer_;  // the watchdog's, made when first started
};

}  // namespace qelo
