#pragma once
// The POSIX calls as the file services make them: each repeated while a signal interrupts it,
// writes carried on until every byte is written; and the folder of a path.

#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <type_traits>

namespace qelo::platform {

template <typename Call>
auto Retried(Call call) {
  for (;;) {
    errno = 0;
    auto result = call();
    bool failed = false;
    if constexpr (std::is_pointer_v<decltype(result)>) {
      failed = result == nullptr;
    } else {
      failed = result == -1;
    }
    if (!failed || errno != EINTR) return result;
  }
}

// All of `bytes` at `offset`, or at the file's position when `offset` is negative.
inline bool WriteAll(int fd, std::string_view bytes, off_t offset = -1) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const char* from = bytes.data() + done;
    const std::size_t left = bytes.size() - done;
    const ssize_t count =
        offset < 0 ? Retried([&] { return ::write(fd, from, left); })
                   : Retried([&] { return ::pwrite(fd, from, left, offset + off_t(done)); });
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// The file's bytes on its storage. Its size and where they lie go with them; its other
// attributes reach the disk with the journal's next commit, no later than a rename after them.
inline bool Synced(int fd) {
  return Retried([&] { return ::fdatasync(fd); }) == 0;
}

// The folder of an absolute path: everything before its last '/', or "/" itself.
inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace qelo::platform
