#include "platform/application_window.h"

namespace qelo::platform {

void WindowTraits::Close(Handle) noexcept {}

NativeWindow CreateApplicationWindow() { return {}; }

NativeWindow CreateFormWindow(const std::u16string&, int, int) { return {}; }

}  // namespace qelo::platform
