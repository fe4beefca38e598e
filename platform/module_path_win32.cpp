#include <windows.h>

#include <string>

#include "platform/module_path.h"
#include "platform/text_win32.h"

namespace qelo::platform {

// The longest path Windows knows, with its NUL.
constexpr DWORD kMaxLength = 32768;

std::u16string ExecutablePath() {
  std::u16string path(kMaxLength, u'\0');
  const DWORD length = GetModuleFileNameW(nullptr, WideBuffer(path), kMaxLength);
  path.resize(length < kMaxLength ? length : kMaxLength - 1);
  return path;
}

}  // namespace qelo::platform
