#pragma once
// The literal texts by which the extraction finds the forecast blocks in the page and cuts
// each value out of its line. Compared exactly, code unit by code unit.

#include <string_view>

namespace qelo::page_markers {

inline constexpr std::u16string_view kTodayBlock = u"<!-- 今天明天预报 begin-->";
inline constexpr std::u16string_view kTomorrowBlock = u"<!-- 明天后天预报 begin-->";
inline constexpr std::u16string_view kDayAfterWord = u"后天";

inline constexpr std::u16string_view kTodayHeadingStart = u"<h1>";
inline constexpr std::u16string_view kTodayHeadingEnd = u"</h1>";
inline constexpr std::u16string_view kHeadingStart = u"<h2>";
inline constexpr std::u16string_view kHeadingEnd = u"</h2>";

inline constexpr std::u16string_view kWeatherStart = u"<p class=\"wea\" title=\"";
inline constexpr std::u16string_view kWeatherEnd = u"\">";

inline constexpr std::u16string_view kTemperatureStart = u"<span>";
inline constexpr std::u16string_view kTemperatureEnd = u"</span>";

inline constexpr std::u16string_view kWindStart = u"<p class=\"win\"><span class=\"\" title=\"";
inline constexpr std::u16string_view kWindEnd = u"/span>";
inline constexpr std::u16string_view kWindValueStart = u"\">";
inline constexpr std::u16string_view kWindValueEnd = u"<";

}  // namespace qelo::page_markers
