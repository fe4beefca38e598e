#pragma once
// The tests' way into a Socket: its native handle (a SOCKET or a file descriptor), so that the
// tests' own loopback servers can hand accepted connections in and reset them. Not for the
// program.

#include <cstdint>

#include "platform/socket.h"

namespace qelo::platform {

struct SocketTestSeam {
  static std::uintptr_t NativeHandle(const Socket& socket) { return socket.handle_; }
  // Takes ownership of an already connected native handle.
  static Socket Adopt(std::uintptr_t handle) { return Socket(handle); }
  // Gives the native handle up without closing it.
  static std::uintptr_t Release(Socket& socket) noexcept {
    const std::uintptr_t handle = socket.handle_;
    socket.handle_ = Socket::kNoHandle;
    return handle;
  }
};

}  // namespace qelo::platform
