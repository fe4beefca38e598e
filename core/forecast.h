#pragma once
// The forecast that a run cuts out of the page and writes into the forecast file.

#include <string>

namespace qelo {

// One day's block of the page.
struct DayForecast {
  std::u16string heading;       // "16日（今天）"
  std::u16string weather;       // "多云转阵雨"
  std::u16string temperatures;  // "29°C~22°C": the second temperature cut, then the first
  std::u16string wind;          // "微风"
  bool operator==(const DayForecast&) const = default;
};

struct Forecast {
  DayForecast today;
  DayForecast tomorrow;
  DayForecast dayAfter;
  bool operator==(const Forecast&) const = default;
};

}  // namespace qelo
