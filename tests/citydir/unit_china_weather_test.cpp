#include "citydir/unit_china_weather.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "core/text.h"

namespace qelo::UnitChinaWeather {
namespace {

std::string Utf8(std::u16string_view text) { return ToUtf8(text); }

bool IsCityCode(std::u16string_view code) {
  return code.size() == 9 && code.substr(0, 3) == u"101" &&
         std::all_of(code.begin(), code.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool IsBareChineseName(std::u16string_view name) {
  return name.size() >= 2 && name.size() <= 9 &&
         std::all_of(name.begin(), name.end(),
                     [](char16_t c) { return c >= 0x4E00 && c <= 0x9FFF; });
}

TEST(CityTable, HasOneValidRowPerIndexInStrictlyAscendingCodeOrder) {
  ASSERT_EQ(CityCount, 2586);
  for (int i = 1; i <= CityCount; ++i) {
    EXPECT_TRUE(IsCityCode(CityCode(i))) << i << " " << Utf8(CityCode(i));
    EXPECT_TRUE(IsBareChineseName(CityName(i))) << i << " " << Utf8(CityName(i));
    if (i > 1) {
      EXPECT_LT(CityCode(i - 1), CityCode(i)) << i;
    }
  }
}

TEST(CityTable, FirstAndLastRows) {
  EXPECT_EQ(CityName(1), u"北京");
  EXPECT_EQ(CityCode(1), u"101010100");
  EXPECT_EQ(CityName(CityCount), u"新港");
  EXPECT_EQ(CityCode(CityCount), u"101340904");
  EXPECT_EQ(GetCityCode(u"北京"), u"101010100");
  EXPECT_EQ(GetCityCode(u"新港"), u"101340904");
}

TEST(CityTable, FuzhouGroup) {
  struct Row {
    int index;
    std::u16string_view name, code;
  } rows[] = {
      {1681, u"福州", u"101230101"},     {1682, u"闽清", u"101230102"},
      {1683, u"闽侯", u"101230103"},     {1684, u"罗源", u"101230104"},
      {1685, u"连江", u"101230105"},     {1686, u"马祖", u"101230106"},
      {1687, u"永泰", u"101230107"},     {1688, u"平潭", u"101230108"},
      {1689, u"福州郊区", u"101230109"}, {1690, u"长乐", u"101230110"},
      {1691, u"福清", u"101230111"},     {1692, u"平潭海峡大桥", u"101230112"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(CityName(r.index), r.name) << r.index;
    EXPECT_EQ(CityCode(r.index), r.code) << r.index;
    EXPECT_EQ(GetCityCode(std::u16string(r.name)), r.code) << r.index;
  }
  EXPECT_EQ(CityCode(1680).substr(0, 7), u"1012217");
  EXPECT_EQ(CityCode(1693).substr(0, 7), u"1012302");
}

TEST(CityLookup, FirstOfTwoRowsWithOneNameWins) {
  struct Repeated {
    std::u16string_view name;
    int returnedIndex;
    std::u16string_view returnedCode;
    int shadowedIndex;
    std::u16string_view shadowedCode;
  } repeated[] = {
      {u"朝阳", 3, u"101010300", 277, u"101071201"},
      {u"通州", 6, u"101010600", 1389, u"101190509"},
      {u"金山", 28, u"101020700", 1714, u"101230508"},
      {u"松江", 30, u"101020900", 194, u"101060310"},
      {u"天池", 190, u"101060306", 916, u"101130109"},
      {u"东港", 257, u"101070604", 2570, u"101340202"},
      {u"清水河", 295, u"101080105", 1093, u"101150507"},
      {u"河南", 349, u"101080706", 1078, u"101150304"},
      {u"河口", 880, u"101121202", 2316, u"101290114"},
      {u"东乡", 1194, u"101161106", 1796, u"101240411"},
      {u"南溪", 1667, u"101221504", 2103, u"101271104"},
      {u"玉山", 1783, u"101240312", 2585, u"101340903"},
      {u"东兴", 2112, u"101271202", 2533, u"101301403"},
      {u"九龙", 2165, u"101271805", 2562, u"101320102"},
      {u"普洱", 2382, u"101290901", 2386, u"101290905"},
  };
  for (const Repeated& r : repeated) {
    SCOPED_TRACE(Utf8(r.name));
    EXPECT_EQ(CityName(r.returnedIndex), r.name);
    EXPECT_EQ(CityCode(r.returnedIndex), r.returnedCode);
    EXPECT_EQ(CityName(r.shadowedIndex), r.name);
    EXPECT_EQ(CityCode(r.shadowedIndex), r.shadowedCode);
    EXPECT_EQ(GetCityCode(std::u16string(r.name)), r.returnedCode);
  }

  std::map<std::u16string_view, int> rowsPerName;
  for (int i = 1; i <= CityCount; ++i) ++rowsPerName[CityName(i)];
  std::set<std::u16string_view> namesInTwoRows;
  for (const auto& [name, count] : rowsPerName) {
    EXPECT_LE(count, 2) << Utf8(name);
    if (count == 2) namesInTwoRows.insert(name);
  }
  std::set<std::u16string_view> expected;
  for (const Repeated& r : repeated) expected.insert(r.name);
  EXPECT_EQ(namesInTwoRows, expected);
}

TEST(CityLookup, OnlyTheExactNameMatches) {
  const std::u16string notInTable[] = {
      u"福州市", u"福州 ", u" 福州", u"福", u"fuzhou", u"FUZHOU", u"", std::u16string(u"福州\0", 3),
  };
  for (const std::u16string& name : notInTable) {
    EXPECT_EQ(GetCityCode(name), u"") << Utf8(name);
    EXPECT_EQ(CityToWeatherPageUrl(name), u"") << Utf8(name);
  }
}

TEST(WeatherPageUrl, IsBuiltFromTheHostAndTheCode) {
  EXPECT_EQ(CityToWeatherPageUrl(u"福州"), u"http://www.weather.com.cn/weather/101230101.shtml");
  EXPECT_EQ(GetWeatherPageUrl(u"101230101"), u"http://www.weather.com.cn/weather/101230101.shtml");
  EXPECT_EQ(GetWeatherPageUrl(u""), u"http://www.weather.com.cn/weather/.shtml");
  EXPECT_EQ(CityToWeatherPageUrl(u"新港"), u"http://www.weather.com.cn/weather/101340904.shtml");
}

}  // namespace
}  // namespace qelo::UnitChinaWeather
