#pragma once
// Strict UTF-8 decoding (RFC 3629) of the page body.

#include <string>
#include <string_view>

namespace qelo {

// The UTF-16 text of `bytes`, or the empty text when they are not well-formed UTF-8 anywhere
// (stray continuation, truncated or overlong sequence, encoded surrogate, above U+10FFFF).
// A BOM stays as U+FEFF, NUL as U+0000; characters above U+FFFF become surrogate pairs.
std::u16string DecodeUtf8Strict(std::string_view bytes);

}  // namespace qelo
