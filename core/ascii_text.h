#pragma once
// The ASCII rules of names and numbers that the address parser, the resolver, the response
// head and the profile rules share: letters compared without their case, decimal digits read.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qelo {

template <typename Char>
constexpr Char LowerAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

namespace detail {
template <typename Char>
constexpr bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a,
                                       std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}
}  // namespace detail

// Equal when they differ only in the case of ASCII letters.
constexpr bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return detail::EqualsIgnoringAsciiCase(a, b);
}
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return detail::EqualsIgnoringAsciiCase(a, b);
}

// The value of one digit in `base` (at most 16, letters in either case); -1 for any other
// character.
constexpr int DigitValue(char16_t c, int base) {
  int value = -1;
  if (c >= u'0' && c <= u'9') {
    value = c - u'0';
  } else if (c >= u'a' && c <= u'f') {
    value = c - u'a' + 10;
  } else if (c >= u'A' && c <= u'F') {
    value = c - u'A' + 10;
  }
  return value < base ? value : -1;
}

// One or more digits in `base` and nothing else, whose value does not exceed `limit`; nullopt
// otherwise. Leading zeros are allowed.
constexpr std::optional<std::uint64_t> ReadDigits(std::u16string_view digits, int base,
                                                  std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  const auto radix = static_cast<std::uint64_t>(base);
  std::uint64_t value = 0;
  for (const char16_t c : digits) {
    const int digit = DigitValue(c, base);
    if (digit < 0) return std::nullopt;
    const auto digitValue = static_cast<std::uint64_t>(digit);
    if (digitValue > limit || value > (limit - digitValue) / radix) return std::nullopt;
    value = value * radix + digitValue;
  }
  return value;
}

// Decimal digits only (no sign), up to `limit`.
constexpr std::optional<std::uint64_t> ReadDecimal(std::u16string_view digits,
                                                   std::uint64_t limit) {
  return ReadDigits(digits, 10, limit);
}

}  // namespace qelo
