// The local clock and the user's date and time formats through the Win32 locale service.
#include <windows.h>

#include <string>

#include "platform/clock.h"

namespace qelo::platform {
namespace {

std::u16string LocaleText(LCTYPE type) {
  wchar_t buffer[128] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
  if (length <= 1) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), length - 1);
}

// The pattern with the locale's date separator written as '/', the placeholder the date
// formatter replaces by the separator. Quoted text is left alone.
std::u16string WithSeparatorPlaceholder(const std::u16string& pattern,
                                        const std::u16string& separator) {
  if (separator.empty() || separator == u"/") return pattern;
  std::u16string out;
  char16_t quote = 0;
  for (std::size_t i = 0; i < pattern.size();) {
    const char16_t c = pattern[i];
    if (quote == 0 && pattern.compare(i, separator.size(), separator) == 0) {
      out += u'/';
      i += separator.size();
      continue;
    }
    if (c == u'\'' || c == u'"') quote = quote == 0 ? c : (quote == c ? 0 : quote);
    out += c;
    ++i;
  }
  return out;
}

}  // namespace

LocalDateTime LocalNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalDateTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                       now.wMinute, now.wSecond, now.wMilliseconds};
}

DateTimeFormat ReadDateTimeFormat() {
  DateTimeFormat format;
  const std::u16string separator = LocaleText(LOCALE_SDATE);
  const std::u16string pattern = LocaleText(LOCALE_SSHORTDATE);
  if (!pattern.empty()) {
    format.dateSeparator = separator.empty() ? u"/" : separator;
    format.shortDatePattern = WithSeparatorPlaceholder(pattern, format.dateSeparator);
  }
  if (const std::u16string timeSeparator = LocaleText(LOCALE_STIME); !timeSeparator.empty()) {
    format.timeSeparator = timeSeparator;
  }
  format.hoursLeadingZero = LocaleText(LOCALE_ITLZERO) == u"1";
  format.twelveHourClock = LocaleText(LOCALE_ITIME) == u"0";
  format.amDesignator = LocaleText(LOCALE_S1159);
  format.pmDesignator = LocaleText(LOCALE_S2359);
  format.designatorBeforeTime = LocaleText(LOCALE_ITIMEMARKPOSN) == u"1";
  return format;
}

}  // namespace qelo::platform
