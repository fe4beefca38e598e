#include <locale.h>
#include <unistd.h>
#include <wctype.h>

#include <string>

#include "core/text.h"
#include "platform/descriptor_posix.h"
#include "platform/process.h"

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

// As on Windows, whose buffer holds at most this many characters with the NUL.
constexpr std::size_t kMaxLength = 32768;

std::u16string ExecutablePath() {
  std::string bytes(4096, '\0');
  for (;;) {
    const ssize_t length =
        Retried([&] { return ::readlink("/proc/self/exe", bytes.data(), bytes.size()); });
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < bytes.size()) {
      bytes.resize(static_cast<std::size_t>(length));
      break;
    }
    bytes.resize(bytes.size() * 2);
  }
  std::u16string path = FromUtf8(bytes);
  if (path.size() >= kMaxLength) path.resize(kMaxLength - 1);
  return path;
}

std::u16string LowerCase(std::u16string text) {
  const locale_t locale = CaseLocale();
  for (char16_t& c : text) c = LowerCodeUnit(c, locale);
  return text;
}

}  // namespace qelo::platform
