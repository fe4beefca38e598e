#pragma once
// The forecast file's one section, its seventeen keys in the order of writing, and the fixed
// values of the header keys.

#include <array>
#include <string_view>

namespace qelo {

inline constexpr char16_t kForecastSection[] = u"qelo";

inline constexpr char16_t kUpdateTimeKey[] = u"更新时间";
inline constexpr char16_t kThanksKey[] = u"感谢";
inline constexpr char16_t kVersionKey[] = u"ver";
inline constexpr char16_t kLatestVersionKey[] = u"获取最新版";
inline constexpr char16_t kTodayKey[] = u"今天";
inline constexpr char16_t kCityKey[] = u"城市";
inline constexpr char16_t kTodayWeatherKey[] = u"今天情况";
inline constexpr char16_t kTodayTemperatureKey[] = u"今天度数";
inline constexpr char16_t kTodayWindKey[] = u"今天风力";
inline constexpr char16_t kTomorrowKey[] = u"明天";
inline constexpr char16_t kTomorrowWeatherKey[] = u"明天情况";
inline constexpr char16_t kTomorrowTemperatureKey[] = u"明天度数";
inline constexpr char16_t kTomorrowWindKey[] = u"明天风力";
inline constexpr char16_t kDayAfterKey[] = u"后天";
inline constexpr char16_t kDayAfterWeatherKey[] = u"后天情况";
inline constexpr char16_t kDayAfterTemperatureKey[] = u"后天度数";
inline constexpr char16_t kDayAfterWindKey[] = u"后天风力";

inline constexpr std::array<std::u16string_view, 17> kForecastKeys = {
    kUpdateTimeKey,   kThanksKey,   kVersionKey,         kLatestVersionKey,
    kTodayKey,        kCityKey,     kTodayWeatherKey,    kTodayTemperatureKey,
    kTodayWindKey,    kTomorrowKey, kTomorrowWeatherKey, kTomorrowTemperatureKey,
    kTomorrowWindKey, kDayAfterKey, kDayAfterWeatherKey, kDayAfterTemperatureKey,
    kDayAfterWindKey,
};

inline constexpr char16_t kThanksText[] = u"感谢你使用qelo天气预报插件";
inline constexpr char16_t kVersionText[] = u"1.0";
// The maker's download page. The .example top-level domain is reserved and can never lead
// to somebody else's site.
inline constexpr char16_t kLatestVersionAddress[] = u"http://qeloweather.example";

}  // namespace qelo
