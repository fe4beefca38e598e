#include <windows.h>

#include "platform/commandline.h"
#include "platform/win32_text.h"

namespace qelo::platform {

std::u16string ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  if (line == nullptr) return {};
  return FromWide(line);
}

}  // namespace qelo::platform
