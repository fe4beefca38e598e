#include <locale.h>
#include <wctype.h>

#include "platform/casing.h"

namespace qelo::platform {
namespace {

// The process's own locale is left alone: the program never calls setlocale, and the C locale
// maps ASCII only. C.UTF-8 carries the Unicode case mappings.
locale_t CaseLocale() {
  static const locale_t locale = [] {
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return utf8 != locale_t{} ? utf8 : newlocale(LC_CTYPE_MASK, "C", locale_t{});
  }();
  return locale;
}

char16_t LowerCodeUnit(char16_t c, locale_t locale) {
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const wint_t lower = locale != locale_t{} ? towlower_l(c, locale) : towlower(c);
  if (lower > 0xFFFF || (lower >= 0xD800 && lower <= 0xDFFF)) return c;
  return static_cast<char16_t>(lower);
}

}  // namespace

std::u16string LowerCase(std::u16string text) {
  const locale_t locale = CaseLocale();
  for (char16_t& c : text) c = LowerCodeUnit(c, locale);
  return text;
}

}  // namespace qelo::platform
