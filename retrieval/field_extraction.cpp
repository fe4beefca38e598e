#include "retrieval/field_extraction.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "forecastfile/forecast_keys.h"
#include "retrieval/page_markers.h"

namespace qelo {

namespace {

using namespace page_markers;

constexpr std::int64_t kLastLineIndex = std::numeric_limits<std::int32_t>::max();

// 1-based position of the first occurrence of `marker` in `text`; 0 when there is none. An
// empty marker is found nowhere.
std::size_t PositionOf(std::u16string_view text, std::u16string_view marker) {
  if (marker.empty()) return 0;
  const std::size_t found = text.find(marker);
  return found == std::u16string_view::npos ? 0 : found + 1;
}

// Positions p and q are 1-based, so the cut starts at the 0-based index p + s - 1. Only an
// empty start marker that is absent (p + s = 0) would start before the text; the cut then
// starts at its first character.
std::u16string_view Cut(std::u16string_view text, std::u16string_view start,
                        std::u16string_view end) {
  const std::size_t p = PositionOf(text, start);
  const std::size_t q = PositionOf(text, end);
  const std::size_t first = std::max<std::size_t>(p + start.size(), 1);
  if (q <= first) return {};
  return text.substr(first - 1, q - first);
}

// A line index that may lie past every line; such a line, like a negative one, reads as empty.
std::u16string_view LineAt(const PageLines& lines, std::int64_t index) {
  if (index < 0 || index > kLastLineIndex) return {};
  return lines.GetLineView(static_cast<std::int32_t>(index));
}

// Moves a line index forward. A page has fewer than 2^31 - 1 lines, so an index held at the
// largest 32-bit value is past the end like any larger one would be, and reads the same.
std::int32_t Advance(std::int32_t index, std::int64_t lines) {
  return static_cast<std::int32_t>(std::min(index + lines, kLastLineIndex));
}

// The first line from `first` on that contains `marker`; `searchIndex` is where the search
// stopped: that line, or else the larger of `first` and the line count.
std::optional<std::int32_t> FindLine(const PageLines& lines, std::u16string_view marker,
                                     std::int32_t first, std::int32_t& searchIndex) {
  const std::int32_t count = lines.GetLineCount();
  for (std::int32_t i = first; i < count; ++i) {
    if (PositionOf(lines.GetLineView(i), marker) != 0) {
      searchIndex = i;
      return i;
    }
  }
  searchIndex = std::max(first, count);
  return std::nullopt;
}

std::u16string WeatherCut(std::u16string_view line) {
  return std::u16string(Cut(line, kWeatherStart, kWeatherEnd));
}

std::u16string TemperatureCut(std::u16string_view line) {
  return std::u16string(Cut(line, kTemperatureStart, kTemperatureEnd));
}

std::u16string WindCut(std::u16string_view line) {
  return std::u16string(Cut(Cut(line, kWindStart, kWindEnd), kWindValueStart, kWindValueEnd));
}

std::u16string HeadingCut(std::u16string_view line, std::u16string_view start,
                          std::u16string_view end) {
  return std::u16string(Cut(line, start, end));
}

// The day's value shows the second temperature cut first.
std::u16string Temperatures(const std::u16string& second, const std::u16string& first) {
  return second + kDegreesBetween + first + kDegreesAfter;
}

void Write(ForecastFile& file, const char16_t* key, const std::u16string& value) {
  file.WriteString(kForecastSection, key, value);
}

// The line indexes of one run of the extraction. LineCursor never decreases; SearchIndex is
// where the latest line search stopped.
struct LineIndexes {
  std::int32_t LineCursor = 0;
  std::int32_t SearchIndex = 0;
};

void ExtractToday(const PageLines& lines, const std::u16string& city, ForecastFile& file,
                  LineIndexes& at) {
  if (const auto t = FindLine(lines, kTodayBlock, 0, at.SearchIndex)) {
    at.LineCursor = Advance(*t, 2);
  }
  Write(file, kTodayKey,
        HeadingCut(LineAt(lines, at.LineCursor), kTodayHeadingStart, kTodayHeadingEnd));
  Write(file, kCityKey, city);
  at.LineCursor = Advance(at.LineCursor, 3);
  Write(file, kTodayWeatherKey, WeatherCut(LineAt(lines, at.LineCursor)));
  at.LineCursor = Advance(at.LineCursor, 2);
  const std::u16string first = TemperatureCut(LineAt(lines, at.LineCursor));
  at.LineCursor = Advance(at.LineCursor, 14);
  const std::u16string second = TemperatureCut(LineAt(lines, at.LineCursor));
  Write(file, kTodayTemperatureKey, Temperatures(second, first));
  Write(file, kTodayWindKey, WindCut(LineAt(lines, std::int64_t{at.SearchIndex} + 9)));
}

// Tomorrow's and the day after's blocks share one layout around their anchor line.
struct LaterBlock {
  std::u16string_view marker;
  std::int32_t anchorOffset;  // from the line holding the marker to the heading line
  std::int32_t windOffset;    // from the line where the search stopped to the wind line
  const char16_t* headingKey;
  const char16_t* weatherKey;
  const char16_t* temperatureKey;
  const char16_t* windKey;
};

constexpr LaterBlock kTomorrow{
    kTomorrowBlock,  3, 12, kTomorrowKey, kTomorrowWeatherKey, kTomorrowTemperatureKey,
    kTomorrowWindKey};
constexpr LaterBlock kDayAfter{
    kDayAfterWord,   0, 9, kDayAfterKey, kDayAfterWeatherKey, kDayAfterTemperatureKey,
    kDayAfterWindKey};

void ExtractLaterBlock(const PageLines& lines, const LaterBlock& block, ForecastFile& file,
                       LineIndexes& at) {
  if (const auto anchor = FindLine(lines, block.marker, at.LineCursor, at.SearchIndex)) {
    at.LineCursor = Advance(*anchor, block.anchorOffset);
  }
  Write(file, block.headingKey,
        HeadingCut(LineAt(lines, at.LineCursor), kHeadingStart, kHeadingEnd));
  Write(file, block.weatherKey, WeatherCut(LineAt(lines, std::int64_t{at.LineCursor} + 5)));
  at.LineCursor = Advance(at.LineCursor, 7);
  const std::u16string first = TemperatureCut(LineAt(lines, at.LineCursor));
  at.LineCursor = Advance(at.LineCursor, 12);
  const std::u16string second = TemperatureCut(LineAt(lines, at.LineCursor));
  Write(file, block.temperatureKey, Temperatures(second, first));
  Write(file, block.windKey,
        WindCut(LineAt(lines, std::int64_t{at.SearchIndex} + block.windOffset)));
}

}  // namespace

std::u16string ExtractBetween(const std::u16string& text, const std::u16string& start,
                              const std::u16string& end) {
  return std::u16string(Cut(text, start, end));
}

void ExtractForecast(const PageLines& lines, const std::u16string& city, ForecastFile& file) {
  LineIndexes at;
  ExtractToday(lines, city, file, at);
  ExtractLaterBlock(lines, kTomorrow, file, at);
  ExtractLaterBlock(lines, kDayAfter, file, at);
}

}  // namespace qelo
