// The city lookup: a linear scan of 2586 names, so its cost grows with the row that matches.
// Best case the first row, worst cases the last row and a name that is in no row at all.

#include <benchmark/benchmark.h>

#include <string>

#include "citydir/unit_china_weather.h"

namespace {

namespace cw = qelo::UnitChinaWeather;

void BM_GetCityCode(benchmark::State& state, const std::u16string& name) {
  for (auto _ : state) {
    std::u16string code = cw::GetCityCode(name);
    benchmark::DoNotOptimize(code);
  }
}

void BM_CityToWeatherPageUrl(benchmark::State& state, const std::u16string& name) {
  for (auto _ : state) {
    std::u16string address = cw::CityToWeatherPageUrl(name);
    benchmark::DoNotOptimize(address);
  }
}

// Row 1.
BENCHMARK_CAPTURE(BM_GetCityCode, first_row_beijing, std::u16string(u"北京"));
// Row 1681, the middle of the table.
BENCHMARK_CAPTURE(BM_GetCityCode, middle_fuzhou, std::u16string(u"福州"));
// Names that stand twice late in the table: the scan stops at the first of the two rows.
BENCHMARK_CAPTURE(BM_GetCityCode, duplicate_puer_row2382, std::u16string(u"普洱"));
BENCHMARK_CAPTURE(BM_GetCityCode, duplicate_yushan_row1783, std::u16string(u"玉山"));
// Row 2586, the last one.
BENCHMARK_CAPTURE(BM_GetCityCode, last_row_xingang, std::u16string(u"新港"));
// Misses scan every row: a two-character name, as most rows have, is compared code unit by code
// unit against every one of them; longer names are mostly turned down by their length.
BENCHMARK_CAPTURE(BM_GetCityCode, miss_two_characters, std::u16string(u"火星"));
BENCHMARK_CAPTURE(BM_GetCityCode, miss_fuzhoushi, std::u16string(u"福州市"));
BENCHMARK_CAPTURE(BM_GetCityCode, miss_latin, std::u16string(u"fuzhou"));
// The call the run makes: the lookup plus building the page address.
BENCHMARK_CAPTURE(BM_CityToWeatherPageUrl, last_row_xingang, std::u16string(u"新港"));
BENCHMARK_CAPTURE(BM_CityToWeatherPageUrl, miss_two_characters, std::u16string(u"火星"));

}  // namespace
