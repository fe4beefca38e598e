#pragma once
// Cutting today's, tomorrow's and the day after's forecast out of the page lines.

#include <string>

#include "forecastfile/forecast_file.h"
#include "retrieval/page_lines.h"

namespace qelo {

// The characters from the first `start` marker's position plus its length up to, not
// including, the first `end` marker; both searched from position 1; an absent start marker
// counts as position 0. Empty when that range is empty.
std::u16string ExtractBetween(const std::u16string& text, const std::u16string& start,
                              const std::u16string& end);

// Writes the 13 forecast keys (5 to 17) into section "qelo" of `file`, each the moment it is
// cut; "城市" takes `city`.
void ExtractForecast(const PageLines& lines, const std::u16string& city, ForecastFile& file);

}  // namespace qelo
