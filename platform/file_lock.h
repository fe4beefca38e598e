#pragma once
// The lock of one file that its writers, other programs included, hold one at a time. On Linux
// it is an exclusive flock on the folder that holds the file: the file itself is replaced by a
// rename, so a lock on its own descriptor would not pass to the next one. On Windows it is the
// session's mutex named "qeloweather:" and the file's full path, lower-cased, with '/' for '\'.
// The system drops it with a process that ends while holding it.

#include <chrono>
#include <memory>
#include <string>

namespace qelo::platform {

class FileLock {
 public:
  // Takes the lock of the file at `path`, waiting up to `limit` while another holds it; an
  // empty FileLock when it did not come in time or cannot be had.
  static FileLock Take(const std::u16string& path, std::chrono::milliseconds limit);

  bool Held() const { return held_ != nullptr; }

 private:
  struct Holder;
  static void Free(Holder* held);

  std::unique_ptr<Holder, void (*)(Holder*)> held_{nullptr, &Free};
};

}  // namespace qelo::platform
