#pragma once
// The city directory: the forecast web site's table of city names and nine-digit city codes,
// the lookup of a name and the address of a city's forecast page.

#include <string>
#include <string_view>

namespace qelo::UnitChinaWeather {

inline constexpr int CityCount = 2586;

// A row as fixed-width text, NUL-padded: the table then holds no address that the loader would
// have to relocate at each start of the program.
struct CityRow {
  char16_t name[10];
  char16_t code[10];
};

// Rows 1 to CityCount, sorted by code; row 0 is an empty placeholder so that the indexes are the
// row numbers, and no lookup ever reads it. The names are not unique.
extern const CityRow CityRows[CityCount + 1];
inline std::u16string_view CityName(int row) { return CityRows[row].name; }
inline std::u16string_view CityCode(int row) { return CityRows[row].code; }

// The forecast web site whose codes the table holds.
inline constexpr std::u16string_view WeatherSiteHost = u"www.weather.com.cn";

// The code of the first row whose name equals `cityName` code unit for code unit; empty when
// no row does.
std::u16string GetCityCode(const std::u16string& cityName);
// "http://" host "/weather/" code ".shtml"; the code goes in as it is, even when empty.
std::u16string GetWeatherPageUrl(const std::u16string& cityCode);
// The page address of the city, or empty when the name is not in the table.
std::u16string CityToWeatherPageUrl(const std::u16string& cityName);

}  // namespace qelo::UnitChinaWeather
