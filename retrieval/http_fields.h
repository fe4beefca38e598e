#pragma once
// The small text rules of the response head: trimming, case-blind search and the number
// readers for status codes, Content-Length and chunk sizes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/ascii_text.h"

namespace qelo {

// Removes every character from U+0000 to U+0020 at both ends.
std::u16string_view TrimControlAndSpace(std::u16string_view text);
// True when `needle` occurs in `haystack`, ASCII case ignored.
bool ContainsIgnoringAsciiCase(std::u16string_view haystack, std::u16string_view needle);

// An optional sign followed by one or more decimal digits, nothing else, within the range of a
// signed 64-bit number; nullopt otherwise.
std::optional<std::int64_t> ReadWholeNumber(std::u16string_view text);
// One or more hexadecimal digits, nothing else, within the range of a signed 64-bit number;
// nullopt otherwise.
std::optional<std::int64_t> ReadHexNumber(std::u16string_view text);

// The status code of a status line; -1 when it holds none.
int StatusCodeOf(std::u16string_view statusLine);

}  // namespace qelo
