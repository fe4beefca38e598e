#include <windows.h>

#include "platform/application_window.h"
#include "platform/message_box.h"
#include "platform/win32_text.h"

namespace qelo::platform {

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = static_cast<HWND>(ApplicationWindow::Handle());
  MessageBoxW(owner, Wide(text), Wide(title), MB_OK | MB_ICONERROR);
}

}  // namespace qelo::platform
