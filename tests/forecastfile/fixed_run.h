#pragma once
// The seventeen values of one fixed run, written the way a run writes them: key by key in their
// order, then the close.

#include <array>
#include <string>

#include "forecastfile/forecast_keys.h"
#include "forecastfile/ini_writer.h"

namespace qelo::test {

using RunValues = std::array<std::u16string, 17>;

// The header, then a row for each day.
inline RunValues FixedRun() {
  // clang-format off
  return {u"2014/9/16 8:05:09", kThanksText, kVersionText, kLatestVersionAddress,
          u"16日（今天）", u"福州", u"多云转阵雨", u"29\u00B0C~22\u00B0C", u"微风",
          u"17日（明天）", u"阵雨", u"27\u00B0C~21\u00B0C", u"东北风3-4级",
          u"18日（后天）", u"晴", u"30\u00B0C~20\u00B0C", u"微风"};
  // clang-format on
}

inline void WriteRun(ForecastFile& file, const RunValues& values) {
  for (std::size_t i = 0; i < kForecastKeys.size(); ++i) {
    file.WriteString(kForecastSection, std::u16string(kForecastKeys[i]), values[i]);
  }
}

inline void WriteRunAndClose(ForecastFile& file, const RunValues& values) {
  WriteRun(file, values);
  file.Close();
}

}  // namespace qelo::test
