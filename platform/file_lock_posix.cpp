#include <fcntl.h>
#include <sys/file.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/text.h"
#include "platform/file_lock.h"
#include "platform/posix_calls.h"
#include "platform/posix_handles.h"

namespace qelo::platform {

struct FileLock::Holder {
  UniqueFd folder;  // closing it drops the lock
};

namespace {

void Sleep(std::chrono::milliseconds span) {
  timespec wait{0, static_cast<long>(std::chrono::nanoseconds(span).count())};
  Retried([&] { return ::nanosleep(&wait, &wait); });
}

}  // namespace

FileLock FileLock::Take(const std::u16string& path, std::chrono::milliseconds limit) {
  const std::string folder = FolderOf(ToUtf8(path));
  UniqueFd fd(Retried([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (!fd.Valid()) return {};
  // A writer holds the lock for milliseconds: polling finds it free soon after, and, unlike a
  // blocking flock, keeps to the limit without a timer signal.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return {};
    if (std::chrono::steady_clock::now() >= deadline) return {};
    Sleep(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(16));
  }
  FileLock lock;
  lock.held_.reset(new Holder{std::move(fd)});
  return lock;
}

void FileLock::Free(Holder* held) { delete held; }

}  // namespace qelo::platform
