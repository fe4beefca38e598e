#include "forecastfile/forecast_header.h"

#include "forecastfile/forecast_keys.h"

namespace qelo {
namespace {

std::u16string Number(int value, std::size_t minDigits) {
  std::u16string digits;
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (digits.size() < minDigits) digits.insert(0, minDigits - digits.size(), u'0');
  return value < 0 ? u"-" + digits : digits;
}

std::size_t RunLength(const std::u16string& pattern, std::size_t at) {
  std::size_t end = at;
  while (end < pattern.size() && pattern[end] == pattern[at]) ++end;
  return end - at;
}

std::u16string FormatDate(const platform::LocalDateTime& time,
                          const platform::DateTimeFormat& format) {
  const std::u16string& pattern = format.shortDatePattern;
  std::u16string out;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (c == u'\'' || c == u'"') {
      const std::size_t close = pattern.find(c, i + 1);
      const std::size_t end = close == std::u16string::npos ? pattern.size() : close;
      out.append(pattern, i + 1, end - i - 1);
      i = end == pattern.size() ? end : end + 1;
      continue;
    }
    if (c == u'/') {
      out += format.dateSeparator;
      ++i;
      continue;
    }
    const std::size_t run = RunLength(pattern, i);
    if (c == u'd') {
      out += Number(time.day, run == 1 ? 1 : 2);
    } else if (c == u'M') {
      out += Number(time.month, run == 1 ? 1 : 2);
    } else if (c == u'y') {
      out += run <= 2 ? Number(time.year % 100, 2) : Number(time.year, 4);
    } else {
      out.append(run, c);
    }
    i += run;
  }
  return out;
}

std::u16string FormatTime(const platform::LocalDateTime& time,
                          const platform::DateTimeFormat& format) {
  int hours = time.hour;
  if (format.twelveHourClock) hours = hours % 12 == 0 ? 12 : hours % 12;
  std::u16string clock = Number(hours, format.hoursLeadingZero ? 2 : 1) + format.timeSeparator +
                         Number(time.minute, 2) + format.timeSeparator + Number(time.second, 2);
  if (!format.twelveHourClock) return clock;
  const std::u16string& designator = time.hour < 12 ? format.amDesignator : format.pmDesignator;
  if (designator.empty()) return clock;
  return format.designatorBeforeTime ? designator + u' ' + clock : clock + u' ' + designator;
}

bool IsMidnight(const platform::LocalDateTime& time) {
  return time.hour == 0 && time.minute == 0 && time.second == 0 && time.millisecond == 0;
}

}  // namespace

std::u16string ForecastFilePath(const std::u16string& executablePath, char16_t separator) {
  const std::size_t last = executablePath.rfind(separator);
  const std::u16string directory =
      last == std::u16string::npos ? std::u16string() : executablePath.substr(0, last + 1);
  return directory + kForecastFileName;
}

std::u16string FormatUpdateTime(const platform::LocalDateTime& time,
                                const platform::DateTimeFormat& format) {
  const std::u16string date = FormatDate(time, format);
  return IsMidnight(time) ? date : date + u' ' + FormatTime(time, format);
}

void WriteHeader(ForecastFile& file, const std::u16string& updateTime) {
  file.WriteString(kForecastSection, kUpdateTimeKey, updateTime);
  file.WriteString(kForecastSection, kThanksKey, kThanksText);
  file.WriteString(kForecastSection, kVersionKey, kVersionText);
  file.WriteString(kForecastSection, kLatestVersionKey, kLatestVersionAddress);
}

}  // namespace qelo
