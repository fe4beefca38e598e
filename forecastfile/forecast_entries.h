#pragma once
// Where the forecast file lies and the seventeen entries that one run writes into it.

#include <string>

#include "core/forecast.h"
#include "forecastfile/forecast_file.h"
#include "platform/clock.h"

namespace qelo {

inline constexpr char16_t kForecastFileName[] = u"qeloweather.ini";

// The executable's directory (up to and including its last separator) + "qeloweather.ini".
std::u16string ForecastFilePath(const std::u16string& executablePath);

// The short date; then, unless the time is exactly 00:00:00.000, a blank and the long time.
std::u16string FormatUpdateTime(const platform::LocalDateTime& time, const platform::Clock& clock);

// Writes the 17 keys into section "qelo" in their order: the update time, the three fixed
// header values, today's heading, `city`, and the rest of the three days.
void WriteForecast(ForecastFile& file, const std::u16string& updateTime, const std::u16string& city,
                   const Forecast& forecast);

}  // namespace qelo
