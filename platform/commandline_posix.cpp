#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/commandline.h"
#include "platform/text.h"

namespace qelo::platform {

std::u16string ProcessCommandLine() {
  // The kernel keeps the arguments as they were passed to exec, each ended by a NUL.
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  if (!file) return {};
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
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
