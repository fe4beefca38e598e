#include <windows.h>

#include "platform/casing.h"
#include "platform/text_win32.h"

namespace qelo::platform {

std::u16string LowerCase(std::u16string text) {
  // The counted form of CharLowerW: same mapping, and an embedded NUL does not end the text.
  if (!text.empty()) {
    CharLowerBuffW(WideBuffer(text), static_cast<DWORD>(text.size()));
  }
  return text;
}

}  // namespace qelo::platform
