#pragma once
// Forecast pages in the shape of the forecast web site, generated deterministically from a city
// code, for the forecast-site emulator, end-to-end tests and benchmarks. Never shipped.
//
// The page holds the today block marker at line t, tomorrow's at line m and the day after's
// heading (the first line from m + 22 on that contains 后天) at line d, with every value at
// the line offset the extraction reads. t, m, d, the filler around the blocks, the line ends
// (CR LF or LF) and all values vary with the code. The three day headings ("9日（今天）", ...)
// carry the day numbers of the page's date and the two days after it, and the temperatures
// follow its month; the same code and date always give the same page.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/forecast.h"

namespace qelo {

struct ForecastPage {
  std::string html;   // UTF-8 bytes as served
  Forecast expected;  // what the extraction must cut from it
};

// A day of the Gregorian calendar.
struct PageDate {
  int year = 0, month = 0, day = 0;
  bool operator==(const PageDate&) const = default;
};

// The date of pages made without one, so that tests and benchmarks see the same pages every day.
inline constexpr PageDate kFixedPageDate{2026, 12, 9};

// "YYYY-MM-DD" as a date; nullopt for anything else, a day the month lacks included.
std::optional<PageDate> ParsePageDate(std::string_view text);

// The page of `cityCode` (any text; a code outside the city table gets a page too, titled with
// the code) for the day `today`. About 100 KB.
ForecastPage MakeForecastPage(std::string_view cityCode, PageDate today = kFixedPageDate);

// The code whose page the malformed variants are made from (福州).
inline constexpr std::string_view kVariantBaseCode = "101230101";

// The malformed pages, by name:
//   "no-today-marker"        the base page with its today block marker altered: today's values
//                            are cut from lines 0, 3, 5 and 19 of the page head, which hold no
//                            value markers, so they are empty and 今天度数 is "°C~°C";
//                            今天风力 is empty; tomorrow and the day after are as on the base page.
//   "today-marker-last-line" the page head and filler, ending in a line with the today block
//                            marker: every value empty, the three temperatures "°C~°C".
//   "not-utf8"               the base page with one blank in a comment of its head turned
//                            into the byte 0xFF: the strict decoding gives no text, so the
//                            values are as for "empty".
//   "empty"                  no bytes at all: every value empty, the temperatures "°C~°C".
//   "doubled-marker"         the base page with a stale copy of the today block (yesterday's
//                            date and other values) before the real one: the first marker
//                            counts, so today's four values are the stale block's; tomorrow and
//                            the day after are as on the base page.
inline constexpr std::array<std::string_view, 5> kVariantNames = {
    "no-today-marker", "today-marker-last-line", "not-utf8", "empty", "doubled-marker"};

// One of kVariantNames; throws std::invalid_argument for any other name.
ForecastPage MakeVariantPage(std::string_view variant, PageDate today = kFixedPageDate);

}  // namespace qelo
