#include <unistd.h>

#include <string>

#include "core/text.h"
#include "platform/descriptor_posix.h"
#include "platform/module_path.h"

namespace qelo::platform {

// As on Windows, whose buffer holds at most this many characters with the NUL.
constexpr std::size_t kMaxLength = 32768;

std::u16string ExecutablePath() {
  std::string bytes(4096, '\0');
  for (;;) {
    const ssize_t length =
        Retried([&] { return ::readlink("/proc/self/exe", bytes.data(), bytes.size()); });
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < bytes.size()) {
      bytes.resize(static_cast<std::size_t>(length));
      break;
    }
    bytes.resize(bytes.size() * 2);
  }
  std::u16string path = FromUtf8(bytes);
  if (path.size() >= kMaxLength) path.resize(kMaxLength - 1);
  return path;
}

}  // namespace qelo::platform
