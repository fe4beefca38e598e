#include <windows.h>

#include "platform/commandline.h"

namespace qelo::platform {

std::u16string ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  if (line == nullptr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(line));
}

}  // namespace qelo::platform
