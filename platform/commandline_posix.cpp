#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/commandline.h"
#include "platform/posix_handles.h"
#include "platform/text.h"

namespace qelo::platform {

std::u16string ProcessCommandLine() {
  // The kernel keeps the arguments as they were passed to exec, each ended by a NUL. Read with
  // the file calls themselves: a stream would bring the C++ locale machinery into the start.
  const UniqueFd file(::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return {};
  std::string bytes;
  char buffer[8192];
  for (;;) {
    const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
  std::vector<std::u16string> args;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    args.push_back(FromUtf8(std::string_view(bytes).substr(start, end - start)));
    start = end + 1;
  }
  return JoinCommandLine(args);
}

}  // namespace qelo::platform
