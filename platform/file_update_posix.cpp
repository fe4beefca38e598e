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

// Only a file with fewer blocks than its size needs can have a hole; reading one gives NULs.
bool HasHoles(int fd, const struct stat& status) {
  if (status.st_blocks * 512 >= status.st_size) return false;
  const off_t hole = Retried([&] { return ::lseek(fd, 0, SEEK_HOLE); });
  return hole >= 0 && hole < status.st_size;
}

// Up to bytes.size() bytes; fewer when the file ends first.
bool ReadAll(int fd, std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count =
        Retried([&] { return ::read(fd, bytes.data() + done, bytes.size() - done); });
    if (count <= 0) {
      bytes.resize(done);
      return count == 0;
    }
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// All of `bytes` from the file's start; RWF_DSYNC puts each write on the disk before it returns.
bool WrittenFromStart(int fd, std::string_view bytes, int flags) {
  for (std::size_t done = 0; done < bytes.size();) {
    iovec piece{const_cast<char*>(bytes.data() + done), bytes.size() - done};
    const ssize_t count =
        Retried([&] { return ::pwritev2(fd, &piece, 1, static_cast<off_t>(done), flags); });
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// How the system refuses to make a file another's or to name a new one.
bool Refused(int error) { return error == EACCES || error == EPERM; }

// A change of owner clears the set-id bits, so the mode comes after it.
bool TookOverAttributes(int fd, const struct stat& old) {
  struct stat now {};
  return Retried([&] { return ::fstat(fd, &now); }) == 0 &&
         ((now.st_uid == old.st_uid && now.st_gid == old.st_gid) ||
          Retried([&] { return ::fchown(fd, old.st_uid, old.st_gid); }) == 0) &&
         ((now.st_mode & 07777) == (old.st_mode & 07777) ||
          Retried([&] { return ::fchmod(fd, old.st_mode & 07777); }) == 0);
}

enum class Outcome { kDone, kFailed, kInPlace };

Outcome Replace(const FileSnapshot& old, std::string_view bytes) {
  const std::size_t name = old.path.rfind('/') + 1;
  const std::string temporary = old.path.substr(0, name) + "." + old.path.substr(name) + ".new";
  const EndSignalsHeld held;
  Retried([&] { return ::unlink(temporary.c_str()); });  // one that a killed run left
  const UniqueFd file(Retried([&] {
    return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  old.file.Valid() ? old.status.st_mode & 07777 : 0666);
  }));
  if (!file.Valid())
    return old.file.Valid() && Refused(errno) ? Outcome::kInPlace : Outcome::kFailed;
  Outcome outcome = Outcome::kFailed;
  if (old.file.Valid() && !TookOverAttributes(file.Get(), old.status)) {
    if (Refused(errno)) outcome = Outcome::kInPlace;
  } else if (WrittenFromStart(file.Get(), bytes, 0) &&
             Retried([&] { return ::fdatasync(file.Get()); }) == 0 &&
             Retried([&] { return ::rename(temporary.c_str(), old.path.c_str()); }) == 0) {
    return Outcome::kDone;
  }
  Retried([&] { return ::unlink(temporary.c_str()); });
  return outcome;
}

// A length recorded by a write that is on the disk when it returns covers bytes already there:
// the file never shows NULs where it grew.
bool RewriteInPlace(const FileSnapshot& old, std::string_view bytes) {
  const int fd = old.file.Get();
  std::string padded(bytes);
  if (old.bytes.size() > padded.size()) padded.append(1, '\n').resize(old.bytes.size(), ' ');
  const bool written = WrittenFromStart(fd, padded, RWF_DSYNC);
  // A failed write puts the old text back as far as it can; after a good one only the padding
  // goes, and a file left with it says the new text all the same.
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
  const struct stat& status = old.status;
  if (Retried([&] { return ::fstat(old.file.Get(), &old.status); }) != 0 ||
      !S_ISREG(status.st_mode) || (status.st_mode & S_IWUSR) == 0 ||
      static_cast<std::size_t>(status.st_size) > maxBytes || HasHoles(old.file.Get(), status)) {
    return std::nullopt;
  }
  old.bytes.resize(static_cast<std::size_t>(status.st_size));
  if (!ReadAll(old.file.Get(), old.bytes)) return std::nullopt;
  return old;
}

bool CommitUpdate(const FileSnapshot& old, std::string_view bytes) {
  const bool secondName = old.file.Valid() && old.status.st_nlink > 1;
  const Outcome outcome = secondName ? Outcome::kInPlace : Replace(old, bytes);
  if (outcome == Outcome::kInPlace) return RewriteInPlace(old, bytes);
  if (outcome == Outcome::kFailed) return false;
  const UniqueFd folder(Retried(
      [&] { return ::open(FolderOf(old.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  Retried([&] { return ::fsync(folder.Get()); });
  return true;
}

}  // namespace qelo::platform
