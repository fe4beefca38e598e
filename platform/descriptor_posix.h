#pragma once
// POSIX descriptors as the platform layer holds them: each closed once by its owner, and the
// calls on them repeated while a signal interrupts them.

#include <unistd.h>

#include <algorithm>
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
  return path.substr(0, std::max<std::size_t>(path.rfind('/'), 1));
}

}  // namespace qelo::platform
