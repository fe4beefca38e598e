// Page lines and the field extraction on any page. Byte 0 picks the city (bit 3), the rest is the
// page (UTF-8, an ill-formed byte kept as a lone surrogate). Checked against a reference written
// straight from the rules: the lines (count, text cut to 4096, empty past the end) and the values
// of the extraction in the order of the keys they are written under.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/text.h"
#include "retrieval/field_extraction.h"
#include "retrieval/page_lines.h"

namespace {

using Lines = std::vector<std::u16string>;

constexpr std::size_t kLineRead = 4096;

std::vector<std::u16string> SplitReference(const std::u16string& page) {
  const std::u16string text = page.substr(0, page.find(u'\0'));
  Lines pieces(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      pieces.emplace_back();
    } else {
      pieces.back() += text[i];
    }
  }
  if (pieces.back().empty()) pieces.pop_back();
  return pieces;
}

std::u16string Line(const Lines& lines, std::int64_t i) {
  if (i < 0 || i >= static_cast<std::int64_t>(lines.size())) return {};
  return lines[static_cast<std::size_t>(i)].substr(0, kLineRead);
}

// 1-based; 0 when absent.
std::int64_t Pos(const std::u16string& text, const std::u16string& marker) {
  const std::size_t at = text.find(marker);
  return at == std::u16string::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::u16string Between(const std::u16string& text, const std::u16string& start,
                       const std::u16string& end) {
  const std::int64_t p = Pos(text, start);
  const std::int64_t q = Pos(text, end);
  const std::int64_t s = static_cast<std::int64_t>(start.size());
  if (q <= p + s) return {};
  return text.substr(static_cast<std::size_t>(p + s - 1), static_cast<std::size_t>(q - p - s));
}

struct Reference {
  const Lines& lines;
  std::int64_t cursor = 0;
  std::int64_t search = 0;
  std::vector<std::pair<std::u16string, std::u16string>> writes;

  void Find(const std::u16string& marker, std::int64_t first, std::int64_t offset) {
    const auto count = static_cast<std::int64_t>(lines.size());
    for (std::int64_t i = first; i < count; ++i) {
      if (Pos(Line(lines, i), marker) >= 1) {
        search = i;
        cursor = i + offset;
        return;
      }
    }
    search = std::max(first, count);
  }
  std::u16string Weather(std::int64_t i) const {
    return Between(Line(lines, i), u"<p class=\"wea\" title=\"", u"\">");
  }
  std::u16string Temperature(std::int64_t i) const {
    return Between(Line(lines, i), u"<span>", u"</span>");
  }
  std::u16string Wind(std::int64_t i) const {
    return Between(
        Between(Line(lines, i), u"<p class=\"win\"><span class=\"\" title=\"", u"/span>"), u"\">",
        u"<");
  }
  void Write(const std::u16string& key, const std::u16string& value) {
    writes.emplace_back(key, value);
  }
  void Later(const std::u16string& marker, std::int64_t anchorOffset, std::int64_t windOffset,
             const std::u16string& day) {
    Find(marker, cursor, anchorOffset);
    Write(day, Between(Line(lines, cursor), u"<h2>", u"</h2>"));
    Write(day + u"情况", Weather(cursor + 5));
    cursor += 7;
    const std::u16string a = Temperature(cursor);
    cursor += 12;
    Write(day + u"度数", Temperature(cursor) + u"\u00B0C~" + a + u"\u00B0C");
    Write(day + u"风力", Wind(search + windOffset));
  }
  void Run(const std::u16string& city) {
    Find(u"<!-- 今天明天预报 begin-->", 0, 2);
    Write(u"今天", Between(Line(lines, cursor), u"<h1>", u"</h1>"));
    Write(u"城市", city);
    cursor += 3;
    Write(u"今天情况", Weather(cursor));
    cursor += 2;
    const std::u16string a = Temperature(cursor);
    cursor += 14;
    Write(u"今天度数", Temperature(cursor) + u"\u00B0C~" + a + u"\u00B0C");
    Write(u"今天风力", Wind(search + 9));
    Later(u"<!-- 明天后天预报 begin-->", 3, 12, u"明天");
    Later(u"后天", 0, 9, u"后天");
  }
};

void CheckLines(const qelo::PageLines& store, const Lines& expected) {
  if (store.GetLineCount() != static_cast<std::int32_t>(expected.size())) std::abort();
  for (std::int32_t i = -1; i <= store.GetLineCount() + 1; ++i) {
    if (store.GetLine(i) != Line(expected, i)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  const std::u16string page =
      qelo::FromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  qelo::PageLines store;
  CheckLines(store, {u"mmow"});
  const Lines expected = SplitReference(page);
  store.SetPageText(page);
  CheckLines(store, expected);

  const std::u16string city = (mode & 8) ? u"福州" : u"";
  const auto [today, tomorrow, dayAfter] = qelo::ExtractForecast(store);
  const std::u16string values[] = {today.heading,    city,
                                   today.weather,    today.temperatures,
                                   today.wind,       tomorrow.heading,
                                   tomorrow.weather, tomorrow.temperatures,
                                   tomorrow.wind,    dayAfter.heading,
                                   dayAfter.weather, dayAfter.temperatures,
                                   dayAfter.wind};

  Reference reference{expected};
  reference.Run(city);
  for (std::size_t i = 0; i < 13; ++i) {
    if (values[i] != reference.writes[i].second) std::abort();
  }
  return 0;
}
