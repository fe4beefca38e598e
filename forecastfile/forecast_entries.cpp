#include "forecastfile/forecast_entries.h"

#include <iterator>
#include <string_view>

#include "forecastfile/forecast_keys.h"
#include "platform/process.h"

namespace qelo {

std::u16string ForecastFilePath(const std::u16string& executablePath) {
  const std::size_t last = executablePath.rfind(platform::kPathSeparator);
  const std::u16string directory =
      last == std::u16string::npos ? std::u16string() : executablePath.substr(0, last + 1);
  return directory + kForecastFileName;
}

std::u16string FormatUpdateTime(const platform::LocalDateTime& time, const platform::Clock& clock) {
  std::u16string text = clock.ShortDate(time);
  const bool midnight =
      time.hour == 0 && time.minute == 0 && time.second == 0 && time.millisecond == 0;
  if (!midnight) text += u' ' + clock.LongTime(time);
  return text;
}

void WriteForecast(ForecastFile& file, const std::u16string& updateTime, const std::u16string& city,
                   const Forecast& forecast) {
  const auto& [today, tomorrow, dayAfter] = forecast;
  // In the order of kForecastKeys.
  // clang-format off
  const std::u16string_view values[] = {
      updateTime,      kThanksText,      kVersionText,     kLatestVersionAddress,
      today.heading,   city,             today.weather,    today.temperatures,
      today.wind,      tomorrow.heading, tomorrow.weather, tomorrow.temperatures,
      tomorrow.wind,   dayAfter.heading, dayAfter.weather, dayAfter.temperatures,
      dayAfter.wind};
  // clang-format on
  static_assert(std::size(values) == kForecastKeys.size());
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    file.WriteString(kForecastSection, std::u16string(kForecastKeys[i]), std::u16string(values[i]));
  }
}

}  // namespace qelo
