#include "citydir/unit_china_weather.h"

namespace qelo::UnitChinaWeather {

std::u16string GetCityCode(const std::u16string& cityName) {
  // A plain scan in table order, so that of two rows with one name the first is returned.
  for (int i = 1; i <= CityCount; ++i) {
    if (CityName(i) == cityName) return std::u16string(CityCode(i));
  }
  return {};
}

std::u16string GetWeatherPageUrl(const std::u16string& cityCode) {
  std::u16string url = u"http://";
  url += WeatherSiteHost;
  url += u"/weather/";
  url += cityCode;
  url += u".shtml";
  return url;
}

std::u16string CityToWeatherPageUrl(const std::u16string& cityName) {
  std::u16string code = GetCityCode(cityName);
  if (code.empty()) return {};
  return GetWeatherPageUrl(code);
}

}  // namespace qelo::UnitChinaWeather
