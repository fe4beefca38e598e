#pragma once
// The lock of one file that its writers, other programs included, hold one at a time. On Linux
// it is an exclusive flock on the folder that holds the file: the file itself is replaced by a
// rename, so a lock on its own descriptor would not pass to the next one. On Windows it is the
// session's mutex named "qeloweather:" and the file's full path, lower-cased, with '/' for '\'.
// The system drops it with a process that ends while holding it.

#include <chrono>
#include <string>

#include "platform/unique_handle.h"

namespace qelo::platform {

// What holds the lock: the folder's descriptor, or the mutex this thread owns.
struct FileLockTraits {
#ifdef _WIN32
  using Handle = void*;  // HANDLE
  static constexpr Handle Invalid() noexcept { return nullptr; }
#else
  using Handle = int;
  static constexpr Handle Invalid() noexcept { return -1; }
#endif
  static void Close(Handle held) noexcept;  // lets go of the lock
};
using FileLock = UniqueHandle<FileLockTraits>;

// Takes the lock of the file at `path`, waiting up to `limit` while another holds it; an
// empty FileLock when it did not come in time or cannot be had.
FileLock TakeFileLock(const std::u16string& path, std::chrono::milliseconds limit);

}  // namespace qelo::platform
