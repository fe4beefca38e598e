#include <windows.h>

#include <string>

#include "platform/process.h"
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

std::u16string LowerCase(std::u16string text) {
  // The counted form of CharLowerW: same mapping, and an embedded NUL does not end the text.
  if (!text.empty()) {
    CharLowerBuffW(WideBuffer(text), static_cast<DWORD>(text.size()));
  }
  return text;
}

}  // namespace qelo::platform
