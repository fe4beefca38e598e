#pragma once
// Conversions between the core's UTF-16 text and the platform's byte strings. Used only at the
// platform edge (argv, paths, standard error); the page text has its own strict decoder.

#include <string>
#include <string_view>

namespace qelo::platform {

// UTF-8 to UTF-16; each ill-formed byte becomes U+FFFD.
std::u16string FromUtf8(std::string_view bytes);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

}  // namespace qelo::platform
