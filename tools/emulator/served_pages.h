#pragma once
// What the emulator serves for a city code in each mode, and the forecast file that a correct
// program writes from it.

#include <string>
#include <vector>

#include "tools/emulator/emulator_options.h"

namespace qelo::emulator {

// The page bytes for `cityCode` on the day `today` as the mode serves them (a page mode's
// variant page included).
std::string ServedPage(Mode mode, const std::string& cityCode, PageDate today);

// The seventeen key=value lines, UTF-8, in the order of writing, that a program started with
// `cityName` writes after fetching the page of `cityCode` for `today` in `mode`; the value of
// 更新时间 is the placeholder kUpdateTimePlaceholder. Empty when the mode leaves the file
// untouched.
std::vector<std::string> ExpectedForecastLines(Mode mode, const std::string& cityCode,
                                               const std::string& cityName, PageDate today);

inline constexpr char kUpdateTimePlaceholder[] = "<local date and time>";

}  // namespace qelo::emulator
