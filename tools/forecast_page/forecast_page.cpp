#include "tools/forecast_page/forecast_page.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "citydir/unit_china_weather.h"
#include "core/text.h"

namespace qelo {

namespace {

// splitmix64: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string_view Pick(std::initializer_list<std::string_view> choices) {
    return choices.begin()[Below(static_cast<int>(choices.size()))];
  }

 private:
  std::uint64_t state_;
};

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::string Str(int number) { return std::to_string(number); }
std::string TwoDigits(int number) { return (number < 10 ? "0" : "") + Str(number); }

// The city table in UTF-8, for page titles and navigation links.
struct City {
  std::string code, name;
};

const std::vector<City>& Cities() {
  static const std::vector<City> cities = [] {
    std::vector<City> all;
    for (int i = 1; i <= UnitChinaWeather::CityCount; ++i) {
      all.push_back({ToUtf8(UnitChinaWeather::CityCode(i)), ToUtf8(UnitChinaWeather::CityName(i))});
    }
    return all;
  }();
  return cities;
}

std::string CityNameOf(std::string_view code) {
  static const std::unordered_map<std::string, std::string> names = [] {
    std::unordered_map<std::string, std::string> byCode;
    for (const City& city : Cities()) byCode.emplace(city.code, city.name);
    return byCode;
  }();
  const auto found = names.find(std::string(code));
  return found == names.end() ? std::string(code) : found->second;
}

const City& AnyCity(Random& random) {
  return Cities()[static_cast<std::size_t>(random.Below(static_cast<int>(Cities().size())))];
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

PageDate NextDay(PageDate date) {
  if (date.day < DaysIn(date.year, date.month)) return {date.year, date.month, date.day + 1};
  if (date.month < 12) return {date.year, date.month + 1, 1};
  return {date.year + 1, 1, 1};
}

PageDate PreviousDay(PageDate date) {
  if (date.day > 1) return {date.year, date.month, date.day - 1};
  if (date.month > 1) return {date.year, date.month - 1, DaysIn(date.year, date.month - 1)};
  return {date.year - 1, 12, 31};
}

// One day of the forecast as the page shows it.
struct Day {
  std::string heading;
  std::string weather, nightWeather;
  int high = 0, low = 0;
  std::string windDirection, windForce, nightWindDirection, nightWindForce;
};

// Mean daytime high over the year by province block (digits 4 and 5 of the code), north cold,
// south warm; and how far the seasons swing from it.
int AnnualHigh(std::string_view code) {
  static constexpr int highs[] = {18, 18, 20, 18, 19, 10, 12, 14, 12, 19, 17, 20,
                                  19, 15, 12, 12, 15, 16, 21, 21, 22, 22, 21, 25,
                                  23, 23, 20, 21, 27, 22, 26, 30, 27, 27, 27};
  if (code.size() != 9) return 20;
  const int block = (code[3] - '0') * 10 + (code[4] - '0');
  return block >= 1 && block <= 34 ? highs[block] : 20;
}

int SeasonOffset(int month, int annualHigh) {
  static constexpr int offsets[] = {-12, -9, -4, 2, 7, 10, 12, 11, 7, 2, -4, -10};
  const int swing = offsets[month - 1];
  return annualHigh >= 25 ? swing / 2 : swing;
}

std::string_view Weather(Random& random, int low, int month) {
  if (low <= 0) {
    return random.Pick(
        {"晴", "多云", "阴", "小雪", "中雪", "雨夹雪", "晴转多云", "多云转阴", "阴转小雪"});
  }
  if (month >= 5 && month <= 9 && random.Chance(40)) {
    return random.Pick({"雷阵雨", "阵雨", "中雨", "大雨", "小雨转多云"});
  }
  return random.Pick(
      {"晴", "多云", "阴", "小雨", "中雨", "阵雨", "多云转晴", "晴转多云", "阴转小雨", "雾", "霾"});
}

// The page writes "<3级" escaped, and the extraction passes the entity on unchanged.
std::string_view WindForce(Random& random) {
  if (random.Chance(30)) return "微风";
  return random.Pick({"3-4级", "3-4级", "4-5级", "5-6级", "&lt;3级", "3-4级转4-5级"});
}

std::string_view WindDirection(Random& random) {
  return random.Pick(
      {"东风", "南风", "西风", "北风", "东南风", "东北风", "西南风", "西北风", "无持续风向"});
}

Day MakeDay(Random& random, std::string heading, int month, int annualHigh) {
  Day day;
  day.heading = std::move(heading);
  day.high = annualHigh + SeasonOffset(month, annualHigh) + random.Between(-3, 3);
  day.low = day.high - random.Between(4, 11);
  day.weather = Weather(random, day.low, month);
  day.nightWeather = Weather(random, day.low, month);
  day.windDirection = WindDirection(random);
  day.windForce = WindForce(random);
  day.nightWindDirection = WindDirection(random);
  day.nightWindForce = WindForce(random);
  return day;
}

std::string DayHeading(PageDate date, std::string_view which) {
  return Str(date.day) + "日（" + std::string(which) + "）";
}

std::string Icon(std::string_view weather, char partOfDay) {
  static const std::pair<std::string_view, std::string_view> icons[] = {
      {"晴", "00"},     {"多云", "01"}, {"阴", "02"},   {"阵雨", "03"}, {"雷阵雨", "04"},
      {"雨夹雪", "06"}, {"小雨", "07"}, {"中雨", "08"}, {"大雨", "09"}, {"小雪", "14"},
      {"中雪", "15"},   {"雾", "18"},   {"霾", "53"}};
  for (const auto& [word, number] : icons) {
    if (weather.substr(0, word.size()) == word) {
      return std::string(1, partOfDay) + std::string(number);
    }
  }
  return std::string(1, partOfDay) + "01";
}

std::u16string U16(std::string_view utf8) { return FromUtf8(utf8); }

std::u16string Temps(const Day& day) {
  return U16(Str(day.low) + "\u00B0C~" + Str(day.high) + "\u00B0C");
}

// The page being written, line by line, with its size in bytes as served.
class Lines {
 public:
  explicit Lines(std::string_view lineEnd) : lineEnd_(lineEnd) {}
  void Add(std::string line) {
    bytes_ += line.size() + lineEnd_.size();
    lines_.push_back(std::move(line));
  }
  std::size_t Count() const { return lines_.size(); }
  std::size_t Bytes() const { return bytes_; }
  std::string Join() const {
    std::string page;
    page.reserve(bytes_);
    for (const auto& line : lines_) page.append(line).append(lineEnd_);
    return page;
  }

 private:
  std::string lineEnd_;
  std::vector<std::string> lines_;
  std::size_t bytes_ = 0;
};

constexpr char kTodayMarker[] = "<!-- 今天明天预报 begin-->";
constexpr char kTomorrowMarker[] = "<!-- 明天后天预报 begin-->";

std::string WeatherLine(std::string_view weather) {
  return "<p class=\"wea\" title=\"" + std::string(weather) + "\">" + std::string(weather) + "</p>";
}

std::string TemperatureLine(int temperature) {
  return "<span>" + Str(temperature) + "</span><em>°C</em>";
}

std::string WindLine(std::string_view direction, std::string_view force) {
  return "<p class=\"win\"><span class=\"\" title=\"" + std::string(direction) + "\">" +
         std::string(force) + "</span></p>";
}

// The head's first lines are the same on every page: without the today block marker the
// extraction cuts today's values from lines 0, 3, 5 and 19, and none of them holds a value.
void AddFixedHead(Lines& lines, std::string_view code, std::string_view city, bool invalidByte) {
  const std::string c(city);
  lines.Add("<!DOCTYPE html>");
  lines.Add("<html>");
  lines.Add("<head>");
  lines.Add("<meta charset=\"utf-8\">");
  lines.Add("<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge,chrome=1\">");
  lines.Add("<title>" + c + "天气预报," + c + "7天天气预报," + c + "15天天气预报," + c +
            "天气查询</title>");
  lines.Add("<meta name=\"keywords\" content=\"" + c + "天气预报," + c + "今日天气," + c +
            "周末天气," + c + "一周天气预报," + c + "15日天气预报," + c + "40日天气预报\" />");
  lines.Add("<meta name=\"description\" content=\"" + c +
            "天气预报，及时准确发布中央气象台天气信息，便捷查询" + c + "今日天气，" + c +
            "周末天气，" + c + "一周天气预报，" + c + "15日天气预报，" + c +
            "40日天气预报，还提供各区县的生活指数、健康指数、交通指数、旅游指数。\" />");
  lines.Add("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">");
  lines.Add("<link rel=\"shortcut icon\" href=\"/m2/i/favicon.ico\" type=\"image/x-icon\">");
  lines.Add("<link rel=\"stylesheet\" type=\"text/css\" href=\"/m2/c/core.css\">");
  lines.Add("<link rel=\"stylesheet\" type=\"text/css\" href=\"/m2/c/section/weather.css\">");
  lines.Add(invalidByte ? "<!-- 页面数据\xFF-->" : "<!-- 页面数据 -->");
  lines.Add("<script type=\"text/javascript\">");
  lines.Add("var id = \"" + std::string(code) + "\";");
  lines.Add("var cityName = \"" + c + "\";");
  lines.Add("var pageType = \"7d\";");
  lines.Add("var siteHost = \"/\";");
  lines.Add("</script>");
  lines.Add("<script type=\"text/javascript\" src=\"/m2/j/jquery-1.8.2.js\"></script>");
  lines.Add("<script type=\"text/javascript\" src=\"/m2/j/public_test.min.js\"></script>");
  lines.Add("<meta name=\"applicable-device\" content=\"pc\">");
}

std::string_view CssClass(Random& random) {
  return random.Pick({"nav",   "crumbs",   "weather_li", "ctop", "con",   "left",
                      "right", "hour3",    "livezs",     "sk",   "today", "tomorrow",
                      "blue",  "clearfix", "box",        "tit",  "lv1",   "lv2",
                      "lv3",   "btnBox",   "foot",       "c7d",  "zs",    "news"});
}

std::string_view JsName(Random& random) {
  return random.Pick({"cityId", "hour3Data", "observeData", "alarmDZ", "zsTab", "weatherBox",
                      "sunRise", "liveIndex", "airQuality", "mapTab", "picScroll", "newsList",
                      "pageTab", "adBanner", "shareBox"});
}

std::string Colour(Random& random) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string colour = "#";
  for (int i = 0; i < 6; ++i) colour += digits[random.Below(16)];
  return colour;
}

std::string CssProperty(Random& random) {
  switch (random.Below(10)) {
    case 0:
      return "float:" + std::string(random.Pick({"left", "right"})) + ";";
    case 1:
      return "width:" + Str(random.Between(20, 1000)) + "px;";
    case 2:
      return "height:" + Str(random.Between(10, 400)) + "px;";
    case 3:
      return "padding:" + Str(random.Between(0, 20)) + "px 0;";
    case 4:
      return "color:" + Colour(random) + ";";
    case 5:
      return "font-size:" + Str(random.Between(12, 24)) + "px;";
    case 6:
      return "background:url(/m2/i/bg" + Str(random.Below(40)) + ".png) no-repeat;";
    case 7:
      return "line-height:" + Str(random.Between(16, 40)) + "px;";
    case 8:
      return "border-bottom:1px solid " + Colour(random) + ";";
    default:
      return std::string(
          random.Pick({"overflow:hidden;", "display:none;", "margin:0 auto;", "cursor:pointer;"}));
  }
}

std::string CssRule(Random& random) {
  std::string rule = "." + std::string(CssClass(random));
  if (random.Chance(50)) rule += " ." + std::string(CssClass(random));
  if (random.Chance(30)) rule += std::string(random.Pick({" li", " a", " a:hover", " span"}));
  rule += "{";
  for (int i = random.Between(1, 4); i > 0; --i) rule += CssProperty(random);
  return rule + "}";
}

std::string JsLine(Random& random) {
  const std::string name(JsName(random));
  const std::string cls(CssClass(random));
  const std::string n = Str(random.Between(1, 999));
  switch (random.Below(9)) {
    case 0:
      return "var " + name + n + " = " + Str(random.Below(100000)) + ";";
    case 1:
      return "function " + name + "(a, b) { return a * " + n + " + b; }";
    case 2:
      return "if (typeof " + name + " !== \"undefined\") { " + name + ".init(" + n + "); }";
    case 3:
      return "$(\"." + cls +
             "\").on(\"click\", function () { $(this).addClass(\"on\").siblings()"
             ".removeClass(\"on\"); });";
    case 4:
      return "document.getElementById(\"" + name + "\").style.display = \"" +
             std::string(random.Pick({"block", "none"})) + "\";";
    case 5:
      return "setTimeout(function () { " + name + "(" + n + "); }, " + n + "00);";
    case 6:
      return "// " + std::string(random.Pick({"加载生活指数", "切换标签", "实况数据每小时刷新",
                                              "预警信息", "空气质量", "逐小时预报"}));
    case 7:
      return "_hmt.push([\"_trackEvent\", \"" + cls + "\", \"" + name + "\"]);";
    default:
      return "var " + name + "Url = \"/data/" + cls + "/" + n + ".html\";";
  }
}

template <class MakeLine>
void AddUntil(Lines& lines, std::size_t bytes, MakeLine makeLine) {
  while (lines.Bytes() < bytes) lines.Add(makeLine());
}

void AddStylesAndScripts(Lines& lines, Random& random, std::size_t bytes) {
  while (lines.Bytes() < bytes) {
    const bool style = random.Chance(40);
    lines.Add(style ? "<style type=\"text/css\">" : "<script type=\"text/javascript\">");
    const std::size_t blockEnd =
        lines.Bytes() + static_cast<std::size_t>(random.Between(500, 4000));
    AddUntil(lines, std::min(blockEnd, bytes),
             [&] { return style ? CssRule(random) : JsLine(random); });
    lines.Add(style ? "</style>" : "</script>");
  }
}

std::string NavigationLine(Random& random) {
  const City& city = AnyCity(random);
  return "<li><a href=\"/weather/" + city.code + ".shtml\" target=\"_blank\">" + city.name +
         "</a></li>";
}

void AddBodyTop(Lines& lines, Random& random, std::string_view code, std::string_view city,
                std::size_t bytes) {
  const std::string c(code);
  lines.Add("</head>");
  lines.Add("<body>");
  lines.Add("<div class=\"weather_li\">");
  lines.Add("<div class=\"crumbs fl\"><a href=\"/\">全国</a><span>&gt;</span><span>" +
            std::string(city) + "</span></div>");
  lines.Add("<ul class=\"nav\">");
  while (lines.Bytes() < bytes) {
    if (random.Chance(5)) {
      lines.Add("</ul>");
      lines.Add("<ul class=\"" + std::string(CssClass(random)) + "\">");
    }
    lines.Add(NavigationLine(random));
  }
  lines.Add("</ul>");
  lines.Add("</div>");
  lines.Add("<ul id=\"someDayNav\" class=\"clearfix\">");
  lines.Add("<li><a href=\"/weather1d/" + c + ".shtml\">今天</a></li>");
  lines.Add("<li><a href=\"#tomorrow\">明天</a></li>");
  lines.Add("<li><a href=\"#dayAfter\">后天</a></li>");
  lines.Add("<li class=\"on\"><a href=\"/weather/" + c + ".shtml\">7天</a></li>");
  lines.Add("<li><a href=\"/weather15d/" + c + ".shtml\">8-15天</a></li>");
  lines.Add("<li><a href=\"/weather40d/" + c + ".shtml\">40天</a></li>");
  lines.Add("</ul>");
  lines.Add("<div class=\"c7d\" id=\"7d\">");
}

// A day's half of a block: icons, weather, the day's temperature and wind.
void AddDayHalf(Lines& lines, const Day& day) {
  lines.Add("<big class=\"jpg80 " + Icon(day.weather, 'd') + "\"></big>");
  lines.Add("<big class=\"jpg80 " + Icon(day.nightWeather, 'n') + "\"></big>");
  lines.Add(WeatherLine(day.weather));
  lines.Add("<p class=\"tem\">");
  lines.Add(TemperatureLine(day.high));
  lines.Add("</p>");
  lines.Add(WindLine(day.windDirection, day.windForce));
}

constexpr std::string_view kPaleSky = "<span class=\"txt lv2\">天空淡蓝</span>";
constexpr std::string_view kDeepSky = "<span class=\"txt lv1\">天空蔚蓝</span>";

// A night's half of a block: icon, weather, sky, the night's temperature and wind.
void AddNightHalf(Lines& lines, const Day& day, std::string_view sky) {
  lines.Add("<big class=\"jpg80 " + Icon(day.nightWeather, 'n') + "\"></big>");
  lines.Add(WeatherLine(day.nightWeather));
  lines.Add("<div class=\"sky\">");
  lines.Add(std::string(sky));
  lines.Add("</div>");
  lines.Add("<p class=\"tem\">");
  lines.Add(TemperatureLine(day.low));
  lines.Add("</p>");
  lines.Add(WindLine(day.nightWindDirection, day.nightWindForce));
}

// The today block: heading at +2, weather +5, first temperature +7, wind +9, second
// temperature +21.
void AddTodayBlock(Lines& lines, const Day& day) {
  lines.Add(kTodayMarker);
  lines.Add("<div class=\"t\"><ul class=\"clearfix\"><li>");
  lines.Add("<h1>" + day.heading + "</h1>");
  AddDayHalf(lines, day);
  lines.Add("<p class=\"sun sunUp\"><i></i><span>日出 06:12</span></p>");
  lines.Add("<div class=\"slid\"></div>");
  lines.Add("</li>");
  lines.Add("<li>");
  lines.Add("<h1>" + day.heading.substr(0, day.heading.find("（")) + "夜间</h1>");
  AddNightHalf(lines, day, kPaleSky);
  lines.Add("<p class=\"sun sunDown\"><i></i><span>日落 17:45</span></p>");
  lines.Add("</li>");
  lines.Add("</ul></div>");
  lines.Add("<!-- 今天明天预报 end-->");
}

// Tomorrow's and the day after's blocks from their heading line: weather at +5, first
// temperature +7, wind +9, second temperature +19.
void AddHeadedDay(Lines& lines, const Day& day, std::string_view sky) {
  lines.Add("<h2>" + day.heading + "</h2>");
  lines.Add("<ul class=\"clearfix\">");
  lines.Add("<li>");
  AddDayHalf(lines, day);
  lines.Add("<div class=\"slid\"></div>");
  lines.Add("</li>");
  lines.Add("<li>");
  AddNightHalf(lines, day, sky);
  lines.Add("</li>");
  lines.Add("</ul>");
  lines.Add("</div>");
  lines.Add("</div>");
}

// Tomorrow's block: heading at +3, weather +8, first temperature +10, wind +12, second
// temperature +22.
void AddTomorrowBlock(Lines& lines, const Day& day) {
  lines.Add(kTomorrowMarker);
  lines.Add("<div class=\"tomorrow\" id=\"tomorrow\">");
  lines.Add("<div class=\"t\">");
  AddHeadedDay(lines, day, kDeepSky);
}

// The day after's block, from its heading line.
void AddDayAfterBlock(Lines& lines, const Day& day) {
  AddHeadedDay(lines, day, kPaleSky);
  lines.Add("<!-- 明天后天预报 end-->");
}

// Hourly lines hold neither a block marker nor the day-after word, so they may stand in the
// gaps between the blocks.
// The temperatures the page shows by the hour stay within the day's range.
struct Climate {
  int low, high;
};

std::string HourLine(Random& random, const Climate& climate) {
  return "<li><em>" + TwoDigits(random.Below(24)) + "时</em><i class=\"" +
         Icon(random.Pick({"晴", "多云", "阴", "小雨"}), 'd') + "\"></i><span>" +
         Str(random.Between(climate.low, climate.high)) + "°C</span><b>" +
         std::string(WindDirection(random)) + "</b><strong>" + std::string(WindForce(random)) +
         "</strong></li>";
}

std::string GapLine(Random& random, const Climate& climate) {
  switch (random.Below(4)) {
    case 0:
      return "<div class=\"clear\"></div>";
    case 1:
      return "<input type=\"hidden\" id=\"hidden_" + std::string(JsName(random)) + "\" value=\"" +
             Str(random.Below(100000)) + "\" />";
    default:
      return HourLine(random, climate);
  }
}

void AddGap(Lines& lines, Random& random, const Climate& climate, int count) {
  for (int i = 0; i < count; ++i) lines.Add(GapLine(random, climate));
}

std::string LifeIndexLine(Random& random) {
  return "<li class=\"li" + Str(random.Between(1, 6)) + "\"><i></i><span>" +
         std::string(random.Pick(
             {"最弱", "弱", "中等", "强", "较适宜", "适宜", "不宜", "少发", "较易发"})) +
         "</span><em>" +
         std::string(random.Pick(
             {"紫外线指数", "感冒指数", "穿衣指数", "洗车指数", "运动指数", "空气污染扩散指数"})) +
         "</em><p>" +
         std::string(random.Pick({"辐射较弱，涂擦SPF12-15、PA+护肤品。", "天气较好，适宜户外运动。",
                                  "温差较大，注意增减衣物。", "未来两天无雨，适宜洗车。",
                                  "气象条件有利于空气污染物扩散。"})) +
         "</p></li>";
}

std::string FooterLine(Random& random, const Climate& climate) {
  switch (random.Below(6)) {
    case 0:
      return LifeIndexLine(random);
    case 1:
      return NavigationLine(random);
    case 2:
      return HourLine(random, climate);
    default:
      return JsLine(random);
  }
}

// The hourly data of the week as one long script line, as the site embeds it.
std::string HourlyDataLine(Random& random, PageDate date, const Climate& climate) {
  std::string data = "var hour3data={\"7d\":[[";
  for (int i = random.Between(60, 150); i > 0; --i) {
    const std::string_view weather = random.Pick({"晴", "多云", "阴", "小雨"});
    data += "\"" + Str(date.day) + "日" + TwoDigits(random.Below(24)) + "时," + Icon(weather, 'd') +
            "," + std::string(weather) + "," + Str(random.Between(climate.low, climate.high)) +
            "℃," + std::string(WindDirection(random)) + "," + std::string(WindForce(random)) +
            ",0\"" + (i > 1 ? "," : "");
  }
  return data + "]]};";
}

void AddFooter(Lines& lines, Random& random, PageDate date, const Climate& climate,
               std::size_t bytes) {
  lines.Add("<div class=\"livezs\"><ul class=\"clearfix\">");
  for (int i = 0; i < 6; ++i) lines.Add(LifeIndexLine(random));
  lines.Add("</ul></div>");
  lines.Add("<script type=\"text/javascript\">");
  lines.Add(HourlyDataLine(random, date, climate));
  AddUntil(lines, bytes > 200 ? bytes - 200 : 0, [&] { return FooterLine(random, climate); });
  lines.Add("</script>");
  lines.Add("<div class=\"foot\"><p>中国气象局公共气象服务中心 版权所有</p></div>");
  lines.Add("</body>");
  lines.Add("</html>");
}

struct PageShape {
  bool alteredTodayMarker = false;  // the today block marker with a blank before "-->"
  bool staleTodayBlock = false;     // an older today block before the real one
  bool endAtTodayMarker = false;    // the page ends with the today block marker line
  bool invalidByte = false;         // one byte that is not UTF-8 in the head
};

DayForecast Expected(const Day& day) {
  return {U16(day.heading), U16(day.weather), Temps(day), U16(day.windForce)};
}

// A day whose block is not found: its values empty, the temperatures' marks alone.
DayForecast NothingFoundOf() { return {u"", u"", u"\u00B0C~\u00B0C", u""}; }

Forecast NothingFound() { return {NothingFoundOf(), NothingFoundOf(), NothingFoundOf()}; }

ForecastPage BuildPage(std::string_view code, PageDate today, const PageShape& shape) {
  Random random(Fnv1a(code));
  const std::string city = CityNameOf(code);
  const std::size_t target = 88000 + static_cast<std::size_t>(random.Below(24000));
  Lines lines(random.Chance(50) ? "\r\n" : "\n");

  const int annualHigh = AnnualHigh(code);
  const Day todayDay = MakeDay(random, DayHeading(today, "今天"), today.month, annualHigh);
  const Day tomorrowDay =
      MakeDay(random, DayHeading(NextDay(today), "明天"), today.month, annualHigh);
  const Day dayAfterDay =
      MakeDay(random, DayHeading(NextDay(NextDay(today)), "后天"), today.month, annualHigh);

  const Climate climate{std::min({todayDay.low, tomorrowDay.low, dayAfterDay.low}),
                        std::max({todayDay.high, tomorrowDay.high, dayAfterDay.high})};
  const std::size_t beforeBlocks = target * static_cast<std::size_t>(random.Between(40, 60)) / 100;
  AddFixedHead(lines, code, city, shape.invalidByte);
  AddStylesAndScripts(lines, random, beforeBlocks * 55 / 100);
  AddBodyTop(lines, random, code, city, beforeBlocks);
  if (shape.endAtTodayMarker) {
    lines.Add(kTodayMarker);
    return {lines.Join(), NothingFound()};
  }

  Forecast expected{Expected(todayDay), Expected(tomorrowDay), Expected(dayAfterDay)};
  if (shape.staleTodayBlock) {
    const Day stale =
        MakeDay(random, DayHeading(PreviousDay(today), "今天"), today.month, annualHigh);
    AddTodayBlock(lines, stale);
    AddGap(lines, random, climate, random.Between(1, 10));
    expected.today = Expected(stale);
  }
  AddTodayBlock(lines, todayDay);
  AddGap(lines, random, climate, random.Between(0, 40));
  AddTomorrowBlock(lines, tomorrowDay);
  AddGap(lines, random, climate, random.Between(0, 40));
  lines.Add("<div class=\"dayAfter\" id=\"dayAfter\">");
  lines.Add("<div class=\"t\">");
  AddDayAfterBlock(lines, dayAfterDay);
  AddFooter(lines, random, today, climate, target);

  std::string html = lines.Join();
  if (shape.alteredTodayMarker) {
    const std::string altered = "<!-- 今天明天预报 begin -->";
    html.replace(html.find(kTodayMarker), std::string_view(kTodayMarker).size(), altered);
    expected.today = NothingFoundOf();
  }
  return {std::move(html), std::move(expected)};
}

}  // namespace

std::optional<PageDate> ParsePageDate(std::string_view text) {
  const auto digits = [&](std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const PageDate date{digits(0, 4), digits(5, 2), digits(8, 2)};
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > DaysIn(date.year, date.month)) {
    return std::nullopt;
  }
  return date;
}

ForecastPage MakeForecastPage(std::string_view cityCode, PageDate today) {
  return BuildPage(cityCode, today, {});
}

ForecastPage MakeVariantPage(std::string_view variant, PageDate today) {
  PageShape shape;
  if (variant == "empty") return {"", NothingFound()};
  if (variant == "no-today-marker") {
    shape.alteredTodayMarker = true;
  } else if (variant == "today-marker-last-line") {
    shape.endAtTodayMarker = true;
  } else if (variant == "not-utf8") {
    shape.invalidByte = true;
  } else if (variant == "doubled-marker") {
    shape.staleTodayBlock = true;
  } else {
    throw std::invalid_argument("unknown forecast page variant: " + std::string(variant));
  }
  ForecastPage page = BuildPage(kVariantBaseCode, today, shape);
  if (shape.invalidByte) page.expected = NothingFound();
  return page;
}

}  // namespace qelo
