// A replacement writes the new bytes into a temporary file in the file's own folder, syncs them
// and renames the temporary file over the file; the flush syncs the folder. The new bytes are on
// the disk before they take the file's name, so that a power cut finds the old file or the new
// one, whole. The temporary file has one fixed name: writers of the file take turns under its
// lock, and a file that a killed writer left is removed by the next one.
//
// Where a replacement would not leave the same file behind (the folder refuses new names, the
// file has a second name, or another owner or group that the process cannot give a new file),
// the file is rewritten through its own descriptor instead (file_rewrite_posix.h).
//
// The termination signals wait while a temporary file exists or the file is being rewritten.
// Every call that a signal can interrupt is repeated when one does.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/text.h"
#include "platform/end_signals_posix.h"
#include "platform/file_replacement_posix.h"
#include "platform/file_rewrite_posix.h"
#include "platform/posix_calls.h"
#include "platform/posix_handles.h"

namespace qelo::platform {
namespace {

constexpr int kMaxSymbolicLinks = 40;
// The largest file that is read; the page itself is capped alike.
constexpr off_t kMaxFileBytes = off_t{16} * 1024 * 1024;

// Holds back the end signals while a temporary file exists or the file is being rewritten:
// the program's handlers for them end it at once.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kEndSignals) sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;
  ~TerminationSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

std::string Join(const std::string& directory, const std::string& name) {
  return (directory.ends_with('/') ? directory : directory + "/") + name;
}

// The file a write goes to: the path, or where the symbolic link at its end leads, also when
// nothing is there yet. Links among its folders need no resolving: the temporary file beside
// the target lands in the same folder either way. A relative path names no place that a reader
// of the file would look in.
std::optional<std::string> ResolveTarget(std::string path) {
  for (int hop = 0; hop < kMaxSymbolicLinks; ++hop) {
    if (!path.starts_with('/') || path.ends_with('/')) return std::nullopt;
    std::string link(PATH_MAX, '\0');
    const ssize_t length =
        Retried([&] { return ::readlink(path.c_str(), link.data(), link.size()); });
    if (length < 0) return errno == EINVAL || errno == ENOENT ? std::optional(path) : std::nullopt;
    link.resize(static_cast<std::size_t>(length));
    path = link.starts_with('/') ? link : Join(FolderOf(path), link);
  }
  return std::nullopt;
}

// The file as this write found it.
struct Snapshot {
  bool exists = false;
  std::string bytes;
  struct stat status {};
};

// A file with a hole reads as NULs there; rewriting it would fill the hole with real blocks.
bool HasHoles(int fd, const struct stat& status) {
  if (status.st_blocks * 512 >= status.st_size) return false;
  const off_t hole = Retried([&] { return ::lseek(fd, 0, SEEK_HOLE); });
  return hole >= 0 && hole < status.st_size;
}

bool ReadAll(int fd, std::string& bytes, std::size_t expected) {
  // One byte of room beyond the size that fstat gave shows a file that grew meanwhile; such a
  // file fails the check before the change and is read again.
  bytes.resize(expected + 1);
  std::size_t size = 0;
  while (size < bytes.size()) {
    const ssize_t count =
        Retried([&] { return ::read(fd, bytes.data() + size, bytes.size() - size); });
    if (count < 0) return false;
    if (count == 0) break;
    size += static_cast<std::size_t>(count);
    if (size == expected) break;
  }
  bytes.resize(size);
  return true;
}

// Anything but a regular file (a FIFO, a device, a socket, a folder) is refused without being
// opened: opening a FIFO waits for a writer, opening a device may act on it.
std::optional<Snapshot> ReadSnapshot(const std::string& target) {
  Snapshot snapshot;
  if (Retried([&] { return ::stat(target.c_str(), &snapshot.status); }) != 0) {
    if (errno == ENOENT) return snapshot;
    return std::nullopt;
  }
  const struct stat& status = snapshot.status;
  if (!S_ISREG(status.st_mode) || status.st_size > kMaxFileBytes) return std::nullopt;
  const UniqueFd file(Retried(
      [&] { return ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
  struct stat opened {};
  if (!file.Valid() || Retried([&] { return ::fstat(file.Get(), &opened); }) != 0 ||
      opened.st_ino != status.st_ino || opened.st_dev != status.st_dev ||
      HasHoles(file.Get(), opened)) {
    return std::nullopt;
  }
  snapshot.exists = true;
  if (!ReadAll(file.Get(), snapshot.bytes, static_cast<std::size_t>(status.st_size))) {
    return std::nullopt;
  }
  return snapshot;
}

// A cleared owner write permission counts as read-only for every user, root included, as the
// read-only attribute does on Windows; rename alone would replace such a file.
bool Writable(const std::string& path, mode_t mode) {
  return (mode & S_IWUSR) != 0 && Retried([&] { return ::access(path.c_str(), W_OK); }) == 0;
}

// A folder whose owner write bit is clear counts as read-only, as a file's does; any other
// refusal of a new name shows when the temporary file is made.
bool DirectoryWritable(const std::string& directory) {
  struct stat status {};
  return Retried([&] { return ::stat(directory.c_str(), &status); }) == 0 &&
         (status.st_mode & S_IWUSR) != 0;
}

// True while the file is still the one that was read; a write by somebody else in between
// must not be overwritten with bytes that do not contain it.
bool StillAsRead(const std::string& target, const Snapshot& snapshot) {
  struct stat now {};
  if (Retried([&] { return ::stat(target.c_str(), &now); }) != 0) {
    return errno == ENOENT && !snapshot.exists;
  }
  const struct stat& then = snapshot.status;
  return snapshot.exists && now.st_dev == then.st_dev && now.st_ino == then.st_ino &&
         now.st_size == then.st_size && now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
}

enum class Outcome { kWritten, kFailed, kFileChanged, kNotTheSameFile };

// The errors with which a directory refuses a new name or a rename, not the file's content.
bool RefusedByDirectory(int error) { return error == EACCES || error == EPERM || error == EEXIST; }

Outcome FailedBy(int error) {
  return RefusedByDirectory(error) ? Outcome::kNotTheSameFile : Outcome::kFailed;
}

// The temporary file beside the target, removed unless it was renamed over it.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    const std::size_t name = target.rfind('/') + 1;
    path_.append(target, 0, name).append(".").append(target, name).append(".new");
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_.Valid()) Retried([&] { return ::unlink(path_.c_str()); });
  }

  // Removes what a killed writer left under the name, then creates the file anew; never through
  // a link that somebody put there.
  bool Create(mode_t mode) {
    for (int attempt = 0; attempt < 2 && !fd_.Valid(); ++attempt) {
      fd_.Reset(Retried([&] {
        return ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      }));
      if (!fd_.Valid() && errno == EEXIST) Retried([&] { return ::unlink(path_.c_str()); });
    }
    return fd_.Valid();
  }

  int Fd() const { return fd_.Get(); }

  bool RenameOver(const std::string& target) {
    if (Retried([&] { return ::rename(path_.c_str(), target.c_str()); }) != 0) return false;
    fd_.Reset();
    return true;
  }

 private:
  std::string path_;
  UniqueFd fd_;
};

// Gives the new file the old one's owner, group and permissions; false when the process may
// not.
bool TakeOverAttributes(int fd, const struct stat& old) {
  struct stat now {};
  if (Retried([&] { return ::fstat(fd, &now); }) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
      Retried([&] { return ::fchown(fd, old.st_uid, old.st_gid); }) != 0) {
    return false;
  }
  // A change of owner clears the set-id bits, so the permissions come after it.
  return (now.st_mode & 07777) == (old.st_mode & 07777) ||
         Retried([&] { return ::fchmod(fd, old.st_mode & 07777); }) == 0;
}

Outcome Replace(const std::string& target, const Snapshot& old, const std::string& bytes) {
  const mode_t mode = old.exists ? (old.status.st_mode & 07777) : 0666;
  TerminationSignalsHeld held;
  TemporaryFile temporary(target);
  if (!temporary.Create(mode)) return FailedBy(errno);
  if (old.exists && !TakeOverAttributes(temporary.Fd(), old.status)) {
    return Outcome::kNotTheSameFile;
  }
  if (!WriteAll(temporary.Fd(), bytes) || !Synced(temporary.Fd())) return Outcome::kFailed;
  if (!StillAsRead(target, old)) return Outcome::kFileChanged;
  return temporary.RenameOver(target) ? Outcome::kWritten : FailedBy(errno);
}

// A replacement would leave another file behind: another inode for a second name, another
// owner for a file of somebody else's, and no file at all where the folder refuses it.
bool ReplacementKeepsTheFile(const std::string& target, const Snapshot& old) {
  if (!DirectoryWritable(FolderOf(target))) return false;
  if (!old.exists) return true;
  const uid_t user = ::geteuid();
  return old.status.st_nlink == 1 && (old.status.st_uid == user || user == 0);
}

// The file rewritten through its own descriptor: the same inode, names, owner and permissions.
Outcome RewriteFile(const std::string& target, const Snapshot& old, const std::string& bytes) {
  TerminationSignalsHeld held;
  const UniqueFd file(Retried(
      [&] { return ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW); }));
  if (!file.Valid()) return Outcome::kFailed;
  struct stat now {};
  if (Retried([&] { return ::fstat(file.Get(), &now); }) != 0 || now.st_ino != old.status.st_ino ||
      now.st_dev != old.status.st_dev || !StillAsRead(target, old)) {
    return Outcome::kFileChanged;
  }
  // A file system whose preferred I/O size is large (NFS) would be padded far for nothing.
  const auto block = static_cast<std::size_t>(std::clamp<blksize_t>(now.st_blksize, 512, 65536));
  return RewriteInPlace(file.Get(), old.bytes, bytes, block) ? Outcome::kWritten : Outcome::kFailed;
}

Outcome Write(const std::string& target, const Snapshot& old, const std::string& bytes) {
  if (ReplacementKeepsTheFile(target, old)) {
    const Outcome outcome = Replace(target, old, bytes);
    if (outcome != Outcome::kNotTheSameFile) return outcome;
  }
  return old.exists ? RewriteFile(target, old, bytes) : Outcome::kFailed;
}

}  // namespace

bool ReplaceFileBytes(const std::u16string& path, const ByteEdit& edit,
                      std::chrono::steady_clock::time_point deadline) {
  const std::optional<std::string> target = ResolveTarget(ToUtf8(path));
  if (!target) return false;
  do {
    const std::optional<Snapshot> old = ReadSnapshot(*target);
    if (!old || (old->exists && !Writable(*target, old->status.st_mode))) return false;
    const std::optional<std::string> bytes = edit(old->bytes);
    if (!bytes) return false;
    const Outcome outcome = Write(*target, *old, *bytes);
    if (outcome != Outcome::kFileChanged) return outcome == Outcome::kWritten;
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

void SyncFolderOf(const std::u16string& path) {
  const std::optional<std::string> target = ResolveTarget(ToUtf8(path));
  if (!target) return;
  const UniqueFd folder(Retried(
      [&] { return ::open(FolderOf(*target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (folder.Valid()) Retried([&] { return ::fsync(folder.Get()); });
}

}  // namespace qelo::platform
