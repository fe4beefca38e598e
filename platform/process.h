#pragma once
// The process's own facts: where its executable lies, and the lower case of its title.

#include <string>

namespace qelo::platform {

// The separator that ends a directory in a path.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif
// Full path of the running executable as the system reports it (GetModuleFileNameW on Windows,
// /proc/self/exe on POSIX), cut to fit a buffer of the longest path Windows knows.
std::u16string ExecutablePath();

// The text with its upper-case letters in lower case, code unit by code unit, the length kept.
// Windows: CharLowerBuffW, the system's own mapping. POSIX: the C library's towlower in the
// C.UTF-8 locale (ASCII only if that locale is missing) applied to each code unit outside
// the surrogate range; a letter whose lower case lies outside the basic plane is kept.
std::u16string LowerCase(std::u16string text);

}  // namespace qelo::platform
