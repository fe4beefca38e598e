#include "retrieval/http_fields.h"

#include <limits>

namespace qelo {

std::u16string_view TrimControlAndSpace(std::u16string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return text.substr(first, last - first);
}

bool ContainsIgnoringAsciiCase(std::u16string_view haystack, std::u16string_view needle) {
  if (needle.size() > haystack.size()) return false;
  for (std::size_t at = 0; at + needle.size() <= haystack.size(); ++at) {
    if (EqualsIgnoringAsciiCase(haystack.substr(at, needle.size()), needle)) return true;
  }
  return false;
}

std::optional<std::int64_t> ReadWholeNumber(std::u16string_view text) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const bool negative = !text.empty() && text.front() == u'-';
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) text.remove_prefix(1);
  const auto magnitude = ReadDecimal(text, negative ? kMax + 1 : kMax);
  if (!magnitude) return std::nullopt;
  if (!negative) return static_cast<std::int64_t>(*magnitude);
  if (*magnitude == kMax + 1) return std::numeric_limits<std::int64_t>::min();
  return -static_cast<std::int64_t>(*magnitude);
}

std::optional<std::int64_t> ReadHexNumber(std::u16string_view text) {
  const auto value =
      ReadDigits(text, 16, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
  if (!value) return std::nullopt;
  return static_cast<std::int64_t>(*value);
}

int StatusCodeOf(std::u16string_view statusLine) {
  // "HTTP/1.1 200 OK": the word after the first space, cut at a "." ("200.0" reads as 200).
  const std::size_t space = statusLine.find(u' ');
  if (space == std::u16string_view::npos) return -1;
  std::u16string_view word = TrimControlAndSpace(statusLine.substr(space + 1));
  word = word.substr(0, word.find(u' '));
  word = word.substr(0, word.find(u'.'));
  const auto number = ReadWholeNumber(word);
  if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
      *number > std::numeric_limits<std::int32_t>::max()) {
    return -1;
  }
  return static_cast<int>(*number);
}

}  // namespace qelo
