#include "platform/file_update_posix.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/uio.h>
#include <unistd.h>

#include "core/text.h"
#include "platform/descriptor_posix.h"
#include "platform/end_signals_posix.h"

namespace qelo::platform {
namespace {

// The path, or where the symbolic link at its end leads, also when nothing is there yet. A
// relative path names no place that a reader of the file would look in.
std::optional<std::string> ResolveTarget(std::string path) {
  for (int hop = 0; hop < 40 && path.starts_with('/'); ++hop) {
    std::string link(PATH_MAX, '\0');
    const ssize_t length = Retried([&] { return ::readlink(path.c_str(), link.data(), PATH_MAX); });
    if (length < 0) return errno == EINVAL || errno == ENOENT ? std::optional(path) : std::nullopt;
    link.resize(static_cast<std::size_t>(length));
    path = link.starts_with('/') ? link : FolderOf(path).append("/").append(link);
  }
  return std::nullopt;
}

// Reading a hole gives NULs. The search moves the offset, so the file is read by position.
bool HasHoles(int fd, const struct stat& status) {
  const off_t hole = Retried([&] { return ::lseek(fd, 0, SEEK_HOLE); });
  return hole >= 0 && hole < status.st_size;
}

// Repeats `step(done)`, which moves bytes from `done` on and says how many, until `size` have
// moved; false at an error or where the file ends first.
template <typename Step>
bool Whole(std::size_t size, Step step) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t count = Retried([&] { return step(done); });
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// All of `bytes` from the file's start; RWF_DSYNC puts each write on the disk before it returns.
bool WrittenFromStart(int fd, std::string_view bytes, int flags) {
  return Whole(bytes.size(), [&](std::size_t done) {
    iovec piece{const_cast<char*>(bytes.data() + done), bytes.size() - done};
    return ::pwritev2(fd, &piece, 1, static_cast<off_t>(done), flags);
  });
}

// A change of owner clears the set-id bits, so the mode comes after it.
bool TookOverAttributes(int fd, const struct stat& old) {
  return Retried([&] { return ::fchown(fd, old.st_uid, old.st_gid); }) == 0 &&
         Retried([&] { return ::fchmod(fd, old.st_mode & 07777); }) == 0;
}

enum class Outcome { kDone, kFailed, kInPlace };

Outcome Replace(const FileSnapshot& old, std::string_view bytes) {
  std::string temporary = old.path;
  temporary.insert(temporary.rfind('/') + 1, 1, '.').append(".new");
  const EndSignalsHeld held;
  Retried([&] { return ::unlink(temporary.c_str()); });  // one that a killed run left
  const UniqueFd file(Retried([&] {
    return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  old.file.Valid() ? old.status.st_mode & 07777 : 0666);
  }));
  if (file.Valid() && (!old.file.Valid() || TookOverAttributes(file.Get(), old.status)) &&
      WrittenFromStart(file.Get(), bytes, 0) &&
      Retried([&] { return ::fdatasync(file.Get()); }) == 0 &&
      Retried([&] { return ::rename(temporary.c_str(), old.path.c_str()); }) == 0) {
    const UniqueFd folder(Retried(
        [&] { return ::open(FolderOf(old.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    Retried([&] { return ::fsync(folder.Get()); });
    return Outcome::kDone;
  }
  const bool refused = old.file.Valid() && (errno == EACCES || errno == EPERM);
  if (file.Valid()) Retried([&] { return ::unlink(temporary.c_str()); });
  return refused ? Outcome::kInPlace : Outcome::kFailed;
}

// A length recorded by a write that is on the disk when it returns covers bytes already there:
// the file never shows NULs where it grew.
bool RewriteInPlace(const FileSnapshot& old, std::string_view bytes) {
  const int fd = old.file.Get();
  std::string padded(bytes);
  if (old.bytes.size() > padded.size()) padded.append(1, '\n').resize(old.bytes.size(), ' ');
  const bool written = WrittenFromStart(fd, padded, RWF_DSYNC);
  if (!written) WrittenFromStart(fd, old.bytes, RWF_DSYNC);
  const std::size_t length = written ? bytes.size() : old.bytes.size();
  Retried([&] { return ::ftruncate(fd, static_cast<off_t>(length)); });
  return written;
}

}  // namespace

std::optional<FileSnapshot> ReadForUpdate(const std::u16string& path, std::size_t maxBytes) {
  std::optional<std::string> target = ResolveTarget(ToUtf8(path));
  if (!target) return std::nullopt;
  FileSnapshot old;
  old.path = std::move(*target);
  // O_NONBLOCK: a FIFO under the name is refused, not waited for.
  old.file.Reset(Retried([&] {
    return ::open(old.path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  }));
  if (!old.file.Valid()) return errno == ENOENT ? std::optional(std::move(old)) : std::nullopt;
  const int fd = old.file.Get();
  const struct stat& status = old.status;
  if (Retried([&] { return ::fstat(fd, &old.status); }) != 0 || !S_ISREG(status.st_mode) ||
      (status.st_mode & S_IWUSR) == 0 || static_cast<std::size_t>(status.st_size) > maxBytes ||
      HasHoles(fd, status)) {
    return std::nullopt;
  }
  old.bytes.resize(static_cast<std::size_t>(status.st_size));
  const auto read = [&](std::size_t done) {
    return ::pread(fd, old.bytes.data() + done, old.bytes.size() - done, static_cast<off_t>(done));
  };
  if (!Whole(old.bytes.size(), read)) return std::nullopt;
  return old;
}

bool CommitUpdate(const FileSnapshot& old, std::string_view bytes) {
  const bool secondName = old.file.Valid() && old.status.st_nlink > 1;
  const Outcome outcome = secondName ? Outcome::kInPlace : Replace(old, bytes);
  return outcome == Outcome::kInPlace ? RewriteInPlace(old, bytes) : outcome == Outcome::kDone;
}

}  // namespace qelo::platform
