#include <windows.h>

#include "platform/message_loop.h"

namespace qelo::platform {

void PostQuit() noexcept { PostQuitMessage(0); }

void RunMessageLoop() {
  MSG message;
  for (;;) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (message.message == WM_QUIT) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace qelo::platform
