#pragma once
// The run's environment as the program has it: the platform layer and the subsystems.

#include <functional>
#include <memory>
#include <string>

#include "app/run_services.h"

namespace qelo {

class PlatformRunServices final : public RunServices {
 public:
  // `cityArgument` reads argument 1 the way the platform's entry point has it.
  explicit PlatformRunServices(std::function<std::u16string()> cityArgument);

  std::u16string CityArgument() override;
  void RequestEnd() noexcept override;
  std::unique_ptr<PageFetcher> CreateHttpClient() override;
  std::u16string ExecutablePath() override;
  std::unique_ptr<ForecastFile> OpenForecastFile(const std::u16string& path) override;
  platform::LocalDateTime LocalNow() override;
  void ShowFailureReport(const FailureReport& report) override;

 private:
  std::function<std::u16string()> cityArgument_;
};

}  // namespace qelo
