#pragma once
// The owning types of the Win32 handles the Windows build holds: a kernel object (a file), a
// resolver's address list and a window. Each frees its handle with the call that kind needs.

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/unique_handle.h"

namespace qelo::platform {

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};
// A file (CreateFileW); "none" is INVALID_HANDLE_VALUE, as CreateFileW reports a failure.
using UniqueFile = UniqueHandle<KernelHandleTraits>;

struct AddressInfoTraits {
  using Handle = ADDRINFOW*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle list) noexcept { ::FreeAddrInfoW(list); }
};
// The list GetAddrInfoW returns.
using UniqueAddressInfo = UniqueHandle<AddressInfoTraits>;

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle window) noexcept { ::DestroyWindow(window); }
};
// A window of this thread (CreateWindowExW).
using UniqueWindow = UniqueHandle<WindowTraits>;

}  // namespace qelo::platform
