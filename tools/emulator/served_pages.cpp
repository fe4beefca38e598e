#include "tools/emulator/served_pages.h"

#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "core/text.h"
#include "forecastfile/forecast_keys.h"
#include "tools/forecast_page/forecast_page.h"

namespace qelo::emulator {
namespace {

// The malformed page that a mode serves for every code, if it serves one.
std::optional<std::string_view> VariantOf(Mode mode) {
  switch (mode) {
    case Mode::kNotUtf8:
      return "not-utf8";
    case Mode::kNoTodayMarker:
      return "no-today-marker";
    default:
      return std::nullopt;
  }
}

ForecastPage PageOf(Mode mode, const std::string& cityCode, PageDate today) {
  const auto variant = VariantOf(mode);
  return variant ? MakeVariantPage(*variant, today) : MakeForecastPage(cityCode, today);
}

// The keys in the order of writing, as the host reads them.
constexpr std::array<std::string_view, 17> kKeys = {
    "更新时间", "感谢",     "ver",      "获取最新版", "今天",     "城市",
    "今天情况", "今天度数", "今天风力", "明天",       "明天情况", "明天度数",
    "明天风力", "后天",     "后天情况", "后天度数",   "后天风力"};

}  // namespace

std::string ServedPage(Mode mode, const std::string& cityCode, PageDate today) {
  // Each page is made once, so that a benchmark measures the exchange, not the page maker.
  static std::mutex mutex;
  static std::map<std::tuple<Mode, std::string, int, int, int>, std::string> made;
  const std::lock_guard lock(mutex);
  auto [entry, isNew] = made.try_emplace({mode, cityCode, today.year, today.month, today.day});
  if (isNew) entry->second = PageOf(mode, cityCode, today).html;
  return entry->second;
}

std::vector<std::string> ExpectedForecastLines(Mode mode, const std::string& cityCode,
                                               const std::string& cityName, PageDate today) {
  switch (mode) {
    case Mode::kNotFound:
    case Mode::kCloseAtOnce:
      return {};
    default:
      break;
  }
  const auto& [day, tomorrow, dayAfter] = PageOf(mode, cityCode, today).expected;
  const std::u16string values16[] = {
      day.heading,   FromUtf8(cityName), day.weather,      day.temperatures,
      day.wind,      tomorrow.heading,   tomorrow.weather, tomorrow.temperatures,
      tomorrow.wind, dayAfter.heading,   dayAfter.weather, dayAfter.temperatures,
      dayAfter.wind};
  std::vector<std::string> values = {kUpdateTimePlaceholder, "感谢你使用qelo天气预报插件", "1.0",
                                     ToUtf8(kLatestVersionAddress)};
  for (const std::u16string& value : values16) values.push_back(ToUtf8(value));
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    lines.push_back(std::string(kKeys[i]) + "=" + values[i]);
  }
  return lines;
}

}  // namespace qelo::emulator
