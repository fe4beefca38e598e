#include "platform/commandline.h"

#include <algorithm>

namespace qelo::platform {
namespace {

bool NeedsQuotes(const std::u16string& arg) {
  return arg.empty() ||
         std::any_of(arg.begin(), arg.end(), [](char16_t c) { return c >= 1 && c <= 32; });
}

}  // namespace

std::u16string JoinCommandLine(const std::vector<std::u16string>& args) {
  std::u16string line;
  for (const std::u16string& arg : args) {
    if (!line.empty()) line += u' ';
    if (NeedsQuotes(arg)) {
      line += u'"';
      line += arg;
      line += u'"';
    } else {
      line += arg;
    }
  }
  return line;
}

}  // namespace qelo::platform
