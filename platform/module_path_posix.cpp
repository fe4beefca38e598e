#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/module_path.h"
#include "platform/text.h"

namespace qelo::platform {

char16_t PathSeparator() { return u'/'; }

std::u16string ExecutablePath(std::size_t maxLength) {
  std::string bytes(4096, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", bytes.data(), bytes.size());
    if (length < 0 && errno == EINTR) continue;
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < bytes.size()) {
      bytes.resize(static_cast<std::size_t>(length));
      break;
    }
    bytes.resize(bytes.size() * 2);
  }
  std::u16string path = FromUtf8(bytes);
  // Like a buffer of maxLength characters on Windows: at most maxLength - 1 and the NUL.
  if (maxLength > 0 && path.size() >= maxLength) path.resize(maxLength - 1);
  return path;
}

}  // namespace qelo::platform
