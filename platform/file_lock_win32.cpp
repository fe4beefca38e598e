#include <windows.h>

#include "platform/file_lock.h"
#include "platform/text_win32.h"

namespace qelo::platform {
namespace {

// Kernel object names may not hold a backslash, and Windows paths ignore case.
std::u16string MutexName(std::u16string path) {
  ::CharLowerBuffW(WideBuffer(path), static_cast<DWORD>(path.size()));
  for (char16_t& c : path) {
    if (c == u'\\') c = u'/';
  }
  return u"Local\\qeloweather:" + path;
}

}  // namespace

void FileLockTraits::Close(Handle mutex) noexcept {
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

FileLock TakeFileLock(const std::u16string& path, std::chrono::milliseconds limit) {
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Wide(MutexName(path)));
  if (mutex == nullptr) return {};
  // An abandoned mutex (its holder ended without releasing it) is owned from here on.
  const DWORD waited = ::WaitForSingleObject(mutex, static_cast<DWORD>(limit.count()));
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    ::CloseHandle(mutex);
    return {};
  }
  return FileLock(mutex);
}

}  // namespace qelo::platform
