// The mapping of the C library's strftime formats to the user's date and time formats.
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/text.h"

namespace qelo::platform {
namespace {

// One piece of a strftime format: a conversion (with its flag, e.g. '-' in %-d) or literal text.
struct Piece {
  bool isConversion = false;
  char flag = 0;
  char conversion = 0;
  std::string literal;
};

constexpr int kMaxExpansionDepth = 4;

void AppendLiteral(std::vector<Piece>& pieces, std::string_view text) {
  if (pieces.empty() || pieces.back().isConversion) pieces.push_back(Piece{});
  pieces.back().literal.append(text);
}

// Splits `format` into pieces, expanding the composite conversions (%D, %F, %T, %R, %r).
void Tokenize(std::string_view format, std::string_view ampmFormat, int depth,
              std::vector<Piece>& pieces) {
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      AppendLiteral(pieces, format.substr(i, 1));
      ++i;
      continue;
    }
    ++i;
    char flag = 0;
    while (i < format.size() &&
           std::string_view("-_0^#").find(format[i]) != std::string_view::npos) {
      flag = format[i++];
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
    if (i >= format.size()) break;
    const char conversion = format[i++];
    std::string_view expansion;
    switch (conversion) {
      case '%':
        AppendLiteral(pieces, "%");
        continue;
      case 'n':
        AppendLiteral(pieces, "\n");
        continue;
      case 't':
        AppendLiteral(pieces, "\t");
        continue;
      case 'D':
        expansion = "%m/%d/%y";
        break;
      case 'F':
        expansion = "%Y-%m-%d";
        break;
      case 'T':
        expansion = "%H:%M:%S";
        break;
      case 'R':
        expansion = "%H:%M";
        break;
      case 'r':
        expansion = ampmFormat.empty() ? "%I:%M:%S %p" : ampmFormat;
        break;
      default:
        break;
    }
    if (!expansion.empty() && depth < kMaxExpansionDepth) {
      Tokenize(expansion, "%I:%M:%S %p", depth + 1, pieces);
      continue;
    }
    pieces.push_back(Piece{true, flag, conversion, {}});
  }
}

std::vector<Piece> Tokenize(std::string_view format, std::string_view ampmFormat) {
  std::vector<Piece> pieces;
  Tokenize(format, ampmFormat, 0, pieces);
  return pieces;
}

// The pattern token of a date conversion, empty for one that is not a day, month or year number.
std::u16string DateToken(const Piece& piece) {
  const bool unpadded = piece.flag == '-' || piece.flag == '_';
  switch (piece.conversion) {
    case 'Y':
      return u"yyyy";
    case 'y':
      return u"yy";
    case 'm':
      return unpadded ? u"M" : u"MM";
    case 'd':
      return unpadded ? u"d" : u"dd";
    case 'e':
      return u"d";
    default:
      return {};
  }
}

std::u16string Quoted(const std::u16string& text) {
  const char16_t quote = text.find(u'\'') == std::u16string::npos ? u'\'' : u'"';
  return quote + text + quote;
}

struct DatePart {
  std::u16string pattern;
  std::u16string separator;
};

std::optional<DatePart> MapDate(std::string_view dateFormat) {
  const std::vector<Piece> pieces = Tokenize(dateFormat, {});
  std::u16string fields;
  std::optional<std::u16string> separator;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const Piece& piece = pieces[k];
    if (piece.isConversion) {
      const std::u16string token = DateToken(piece);
      if (token.empty()) return std::nullopt;
      fields.push_back(token.front());
    } else if (!separator && k > 0 && k + 1 < pieces.size()) {
      separator = FromUtf8(piece.literal);
    }
  }
  const auto has = [&](char16_t c) { return fields.find(c) != std::u16string::npos; };
  if (!has(u'd') || !has(u'M') || !has(u'y')) return std::nullopt;
  DatePart part{{}, separator.value_or(u"/")};
  for (const Piece& piece : pieces) {
    if (piece.isConversion) {
      part.pattern += DateToken(piece);
    } else if (const std::u16string text = FromUtf8(piece.literal); text == part.separator) {
      part.pattern += u'/';
    } else {
      part.pattern += Quoted(text);
    }
  }
  return part;
}

bool IsHours(const Piece& piece) {
  return piece.isConversion &&
         std::string_view("HkIl").find(piece.conversion) != std::string_view::npos;
}

bool MapTime(std::string_view timeFormat, std::string_view ampmFormat, DateTimeFormat& out) {
  const std::vector<Piece> pieces = Tokenize(timeFormat, ampmFormat);
  std::size_t hours = pieces.size();
  std::optional<std::size_t> designator;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    if (IsHours(pieces[k]) && hours == pieces.size()) hours = k;
    if (pieces[k].isConversion && (pieces[k].conversion == 'p' || pieces[k].conversion == 'P') &&
        !designator) {
      designator = k;
    }
  }
  if (hours == pieces.size()) return false;
  std::size_t minutes = hours + 1;
  std::u16string separator;
  if (minutes < pieces.size() && !pieces[minutes].isConversion) {
    separator = FromUtf8(pieces[minutes].literal);
    ++minutes;
  }
  if (minutes >= pieces.size() || !pieces[minutes].isConversion ||
      pieces[minutes].conversion != 'M') {
    return false;
  }
  const Piece& h = pieces[hours];
  const bool unpadded = h.flag == '-' || h.flag == '_';
  out.timeSeparator = separator;
  out.twelveHourClock = h.conversion == 'I' || h.conversion == 'l';
  out.hoursLeadingZero = (h.conversion == 'H' || h.conversion == 'I') && !unpadded;
  out.designatorBeforeTime = designator && *designator < hours;
  return true;
}

}  // namespace

DateTimeFormat MapStrftimeFormats(std::string_view dateFormat, std::string_view timeFormat,
                                  std::string_view timeFormatAmPm, std::string_view am,
                                  std::string_view pm) {
  DateTimeFormat format;
  if (const std::optional<DatePart> date = MapDate(dateFormat)) {
    format.shortDatePattern = date->pattern;
    format.dateSeparator = date->separator;
  }
  if (!MapTime(timeFormat, timeFormatAmPm, format)) {
    format = DateTimeFormat{format.shortDatePattern, format.dateSeparator};
  }
  format.amDesignator = FromUtf8(am);
  format.pmDesignator = FromUtf8(pm);
  return format;
}

}  // namespace qelo::platform
