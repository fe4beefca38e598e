#include <windows.h>

#include "platform/application_window.h"
#include "platform/message_box.h"

namespace qelo::platform {

void ShowErrorMessageBox(const std::u16string& text, const std::u16string& title) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = static_cast<HWND>(ApplicationWindow::Handle());
  MessageBoxW(owner, reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(title.c_str()), MB_OK | MB_ICONERROR);
}

}  // namespace qelo::platform
