#include <windows.h>

#include <string>

#include "platform/module_path.h"
#include "platform/win32_text.h"

namespace qelo::platform {

char16_t PathSeparator() { return u'\\'; }

std::u16string ExecutablePath(std::size_t maxLength) {
  if (maxLength == 0) return {};
  std::u16string path(maxLength, u'\0');
  const DWORD length = GetModuleFileNameW(nullptr, WideBuffer(path), static_cast<DWORD>(maxLength));
  path.resize(length < maxLength ? length : maxLength - 1);
  return path;
}

}  // namespace qelo::platform
