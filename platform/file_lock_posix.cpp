#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include "core/text.h"
#include "platform/descriptor_posix.h"
#include "platform/file_lock.h"

namespace qelo::platform {

// Closing the folder's descriptor drops its flock.
void FileLockTraits::Close(Handle folder) noexcept { ::close(folder); }

FileLock TakeFileLock(const std::u16string& path, std::chrono::milliseconds limit) {
  const std::string folder = FolderOf(ToUtf8(path));
  FileLock lock(
      Retried([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  // A writer holds the lock for milliseconds: polling finds it free soon after, and, unlike a
  // blocking flock, keeps to the limit without a timer signal.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (lock.Valid() && ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return lock;
}

}  // namespace qelo::platform
