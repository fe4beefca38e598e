#pragma once
// The path of the running executable.

#include <string>

namespace qelo::platform {

// The separator that ends a directory in a path: '\\' on Windows, '/' on POSIX.
char16_t PathSeparator();
// Full path of the running executable as the system reports it (GetModuleFileNameW with a
// buffer of `maxLength` characters on Windows, /proc/self/exe on POSIX).
std::u16string ExecutablePath(std::size_t maxLength = 32768);

}  // namespace qelo::platform
