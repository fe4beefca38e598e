#pragma once
// Lower-casing of display text (the application title).

#include <string>

namespace qelo::platform {

// The text with its upper-case letters in lower case, code unit by code unit, the length kept.
// Windows: CharLowerBuffW, the system's own mapping. POSIX: the C library's towlower in the
// C.UTF-8 locale (ASCII only if that locale is missing) applied to each code unit outside
// the surrogate range; a letter whose lower case lies outside the basic plane is kept.
std::u16string LowerCase(std::u16string text);

}  // namespace qelo::platform
