#pragma once
// POSIX descriptors as the platform layer holds them: each closed once by its owner, and the
// calls on them repeated while a signal interrupts them.

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/unique_handle.h"

namespace qelo::platform {

struct FdTraits {
  using Handle = int;
  static constexpr Handle Invalid() noexcept { return -1; }
  static void Close(Handle fd) noexcept { ::close(fd); }
};
using UniqueFd = UniqueHandle<FdTraits>;

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
