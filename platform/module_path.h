#pragma once
// The path of the running executable.

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

}  // namespace qelo::platform
