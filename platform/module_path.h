#pragma once
// The path of the running executable.

#include <string>

namespace qelo::platform {

// The separator that ends a directory in a path: '\\' on Windows, '/' on POSIX. Each platform's
// file defines it, so that this header serves both without a preprocessor branch.
extern const char16_t kPathSeparator;
// Full path of the running executable as the system reports it (GetModuleFileNameW on Windows,
// /proc/self/exe on POSIX), cut to fit a buffer of the longest path Windows knows.
std::u16string ExecutablePath();

}  // namespace qelo::platform
