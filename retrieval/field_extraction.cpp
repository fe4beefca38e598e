#include "retrieval/field_extraction.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "retrieval/page_markers.h"

namespace qelo {

namespace {

using namespace page_markers;

// Between the temperatures of one day: "°C~", and after the last one "°C" (U+00B0, then C).
constexpr std::u16string_view kDegreesBetween = u"\u00B0C~";
constexpr std::u16string_view kDegreesAfter = u"\u00B0C";

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
std::u16string Cut(std::u16string_view text, std::u16string_view start, std::u16string_view end) {
  const std::size_t p = PositionOf(text, start);
  const std::size_t q = PositionOf(text, end);
  const std::size_t first = std::max<std::size_t>(p + start.size(), 1);
  if (q <= first) return {};
  return std::u16string(text.substr(first - 1, q - first));
}

// Where the latest line search stopped: the line found, or else the larger of where it started
// and the line count. LineCursor never decreases.
struct LineIndexes {
  std::size_t LineCursor = 0;
  std::size_t SearchIndex = 0;
};

// The first line from `first` on that contains `marker`.
std::optional<std::size_t> FindLine(const PageLines& lines, std::u16string_view marker,
                                    std::size_t first, LineIndexes& at) {
  for (std::size_t i = first; i < lines.Count(); ++i) {
    if (PositionOf(lines.View(i), marker) != 0) return at.SearchIndex = i;
  }
  at.SearchIndex = std::max(first, lines.Count());
  return std::nullopt;
}

std::u16string Wind(std::u16string_view line) {
  return Cut(Cut(line, kWindStart, kWindEnd), kWindValueStart, kWindValueEnd);
}

// The day's value shows the second temperature cut first.
std::u16string Temperatures(std::u16string_view firstLine, std::u16string_view secondLine) {
  return Cut(secondLine, kTemperatureStart, kTemperatureEnd).append(kDegreesBetween) +
         Cut(firstLine, kTemperatureStart, kTemperatureEnd).append(kDegreesAfter);
}

DayForecast Today(const PageLines& lines, LineIndexes& at) {
  if (const auto t = FindLine(lines, kTodayBlock, 0, at)) at.LineCursor = *t + 2;
  DayForecast day;
  day.heading = Cut(lines.View(at.LineCursor), kTodayHeadingStart, kTodayHeadingEnd);
  day.weather = Cut(lines.View(at.LineCursor += 3), kWeatherStart, kWeatherEnd);
  const std::u16string_view first = lines.View(at.LineCursor += 2);
  day.temperatures = Temperatures(first, lines.View(at.LineCursor += 14));
  day.wind = Wind(lines.View(at.SearchIndex + 9));
  return day;
}

// Tomorrow's and the day after's blocks share one layout around their anchor line.
struct LaterBlock {
  std::u16string_view marker;
  std::size_t anchorOffset;  // from the line holding the marker to the heading line
  std::size_t windOffset;    // from the line where the search stopped to the wind line
};

constexpr LaterBlock kTomorrow{kTomorrowBlock, 3, 12};
constexpr LaterBlock kDayAfter{kDayAfterWord, 0, 9};

DayForecast Later(const PageLines& lines, const LaterBlock& block, LineIndexes& at) {
  if (const auto anchor = FindLine(lines, block.marker, at.LineCursor, at)) {
    at.LineCursor = *anchor + block.anchorOffset;
  }
  DayForecast day;
  day.heading = Cut(lines.View(at.LineCursor), kHeadingStart, kHeadingEnd);
  day.weather = Cut(lines.View(at.LineCursor + 5), kWeatherStart, kWeatherEnd);
  const std::u16string_view first = lines.View(at.LineCursor += 7);
  day.temperatures = Temperatures(first, lines.View(at.LineCursor += 12));
  day.wind = Wind(lines.View(at.SearchIndex + block.windOffset));
  return day;
}

}  // namespace

std::u16string ExtractBetween(const std::u16string& text, const std::u16string& start,
                              const std::u16string& end) {
  return Cut(text, start, end);
}

Forecast ExtractForecast(const PageLines& lines) {
  LineIndexes at;
  Forecast forecast;
  forecast.today = Today(lines, at);
  forecast.tomorrow = Later(lines, kTomorrow, at);
  forecast.dayAfter = Later(lines, kDayAfter, at);
  return forecast;
}

}  // namespace qelo
