#pragma once
// Where the forecast file lies and the four header keys that open every run's writing.

#include <string>

#include "forecastfile/forecast_file.h"
#include "platform/clock.h"

namespace qelo {

inline constexpr char16_t kForecastFileName[] = u"qeloweather.ini";

// The executable's directory (up to and including its last separator) + "qeloweather.ini".
std::u16string ForecastFilePath(const std::u16string& executablePath);

// The short date; then, unless the time is exactly 00:00:00.000, a blank and the long time.
std::u16string FormatUpdateTime(const platform::LocalDateTime& time,
                                const platform::DateTimeFormat& format);

// Writes "更新时间", "感谢", "ver" and "获取最新版", in that order.
void WriteHeader(ForecastFile& file, const std::u16string& updateTime);

}  // namespace qelo
