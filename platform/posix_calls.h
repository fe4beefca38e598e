#pragma once
// The POSIX calls as the file services make them: each repeated while a signal interrupts it;
// and the folder of a path.

#include <cerrno>
#include <string>

namespace qelo::platform {

template <typename Call>
auto Retried(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// The folder of an absolute path: everything before its last '/', or "/" itself.
inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace qelo::platform
