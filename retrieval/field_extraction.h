#pragma once
// Cutting today's, tomorrow's and the day after's forecast out of the page lines.

#include <string>

#include "core/forecast.h"
#include "retrieval/page_lines.h"

namespace qelo {

// The characters from the first `start` marker's position plus its length up to, not
// including, the first `end` marker; both searched from position 1; an absent start marker
// counts as position 0. Empty when that range is empty.
std::u16string ExtractBetween(const std::u16string& text, const std::u16string& start,
                              const std::u16string& end);

// The three days' values, cut at fixed line offsets from the block markers. A page of another
// shape gives empty values or values cut from other lines, never a failure.
Forecast ExtractForecast(const PageLines& lines);

}  // namespace qelo
