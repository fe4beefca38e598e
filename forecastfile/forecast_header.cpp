#include "forecastfile/forecast_header.h"

#include "forecastfile/forecast_keys.h"
#include "platform/module_path.h"

namespace qelo {
namespace {

bool IsMidnight(const platform::LocalDateTime& time) {
  return time.hour == 0 && time.minute == 0 && time.second == 0 && time.millisecond == 0;
}

}  // namespace

std::u16string ForecastFilePath(const std::u16string& executablePath) {
  const std::size_t last = executablePath.rfind(platform::kPathSeparator);
  const std::u16string directory =
      last == std::u16string::npos ? std::u16string() : executablePath.substr(0, last + 1);
  return directory + kForecastFileName;
}

std::u16string FormatUpdateTime(const platform::LocalDateTime& time,
                                const platform::DateTimeFormat& format) {
  std::u16string text = format.ShortDate(time);
  if (!IsMidnight(time)) text += u' ' + format.LongTime(time);
  return text;
}

void WriteHeader(ForecastFile& file, const std::u16string& updateTime) {
  file.WriteString(kForecastSection, kUpdateTimeKey, updateTime);
  file.WriteString(kForecastSection, kThanksKey, kThanksText);
  file.WriteString(kForecastSection, kVersionKey, kVersionText);
  file.WriteString(kForecastSection, kLatestVersionKey, kLatestVersionAddress);
}

}  // namespace qelo
