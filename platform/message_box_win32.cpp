#include <windows.h>

#include "platform/message_box.h"
#include "platform/text_win32.h"

namespace qelo::platform {

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title,
                         const NativeWindow& application) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = static_cast<HWND>(application.Get());
  MessageBoxW(owner, Wide(text), Wide(title), MB_OK | MB_ICONERROR);
}

}  // namespace qelo::platform
