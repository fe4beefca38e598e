// The safe replacement of a file's bytes on POSIX systems.
//
// A replacement writes the new bytes into a temporary file in the file's own folder, syncs them
// and renames the temporary file over the file; the flush syncs the folder. The new bytes are
// on the disk before they take the file's name, so that a power cut finds the old file or the
// new one, whole. The termination signals wait while a temporary file exists or the file is
// being rewritten.
//
// Where the folder refuses the replacement (a shared install folder the user may not write, a
// sticky folder of another owner) but the file itself may be written, the file is rewritten
// through its own descriptor, as Windows' own service does, in steps after each of which it
// says the old text or the new one: a file that grows is first lengthened, past its last block,
// with padding that its format passes over; a file that shrinks is overwritten with the new
// bytes so padded and then cut; each step is synced before the next. The room is reserved
// first, so that a full disk refuses the write before a byte changes; a later step that fails
// puts the old text back.
//
// What the path leads to (every link followed), whether its folder takes a replacement and who
// the process is are found out by the first write and kept until the flush, or until a write
// fails; every write still reads the file afresh and checks, just before it changes anything,
// that nobody has changed the file since. Every call that a signal can interrupt is repeated
// when one does.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/text.h"
#include "platform/file_replacement.h"
#include "platform/posix_handles.h"

namespace qelo::platform {
namespace {

using Destination = FileReplacement::Destination;
using Padding = FileReplacement::Padding;

constexpr int kMaxSymbolicLinks = 40;
constexpr int kWriteAttempts = 3;
constexpr int kNameAttempts = 16;

bool Failed(int result) { return result == -1; }
bool Failed(ssize_t result) { return result == -1; }
template <typename T>
bool Failed(T* result) {
  return result == nullptr;
}

// The call, repeated for as long as a signal interrupts it.
template <typename Call>
auto Retried(Call call) {
  for (;;) {
    errno = 0;
    auto result = call();
    if (!Failed(result) || errno != EINTR) return result;
  }
}

// Holds back SIGTERM, SIGINT and SIGHUP while a temporary file exists or the file is being
// rewritten: the program's handlers for them end it at once.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;
  ~TerminationSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string Join(const std::string& directory, const std::string& name) {
  return (directory.ends_with('/') ? directory : directory + "/") + name;
}

std::optional<std::string> RealPath(const std::string& path) {
  char* resolved = Retried([&] { return ::realpath(path.c_str(), nullptr); });
  if (resolved == nullptr) return std::nullopt;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

// The regular file a write goes to: the path with every symbolic link resolved, also when the
// last link points at a file that does not exist yet. A relative path names no place that a
// reader of the file would look in.
std::optional<std::string> ResolveTarget(std::string path) {
  if (!path.starts_with('/') || path.ends_with('/')) return std::nullopt;
  for (int hop = 0; hop < kMaxSymbolicLinks; ++hop) {
    if (std::optional<std::string> real = RealPath(path)) return real;
    if (errno != ENOENT) return std::nullopt;
    struct stat status {};
    if (Retried([&] { return ::lstat(path.c_str(), &status); }) != 0) {
      if (errno != ENOENT) return std::nullopt;
      const std::optional<std::string> directory = RealPath(DirectoryOf(path));
      if (!directory) return std::nullopt;
      return Join(*directory, NameOf(path));
    }
    if (!S_ISLNK(status.st_mode)) return std::nullopt;
    std::string link(PATH_MAX, '\0');
    const ssize_t length =
        Retried([&] { return ::readlink(path.c_str(), link.data(), link.size()); });
    if (length < 0) return std::nullopt;
    link.resize(static_cast<std::size_t>(length));
    path = link.starts_with('/') ? link : Join(DirectoryOf(path), link);
  }
  return std::nullopt;
}

// The file as this write found it.
struct Snapshot {
  bool exists = false;
  std::string bytes;
  struct stat status {};
};

std::optional<Snapshot> ReadSnapshot(const std::string& target) {
  Snapshot snapshot;
  UniqueFd file(Retried([&] { return ::open(target.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!file.Valid()) {
    if (errno == ENOENT) return snapshot;
    return std::nullopt;
  }
  if (Retried([&] { return ::fstat(file.Get(), &snapshot.status); }) != 0 ||
      !S_ISREG(snapshot.status.st_mode)) {
    return std::nullopt;
  }
  snapshot.exists = true;
  // Read until the size that fstat gave; the one byte of room beyond it shows a file that grew
  // meanwhile, which is read on to its end. A change after this read fails the check before
  // the replacement.
  const auto expected = static_cast<std::size_t>(snapshot.status.st_size);
  std::string& bytes = snapshot.bytes;
  bytes.resize(expected + 1);
  std::size_t size = 0;
  for (;;) {
    if (size == bytes.size()) bytes.resize(size + 8192);
    const ssize_t count =
        Retried([&] { return ::read(file.Get(), bytes.data() + size, bytes.size() - size); });
    if (count < 0) return std::nullopt;
    if (count == 0) break;
    size += static_cast<std::size_t>(count);
    if (size == expected) break;
  }
  bytes.resize(size);
  return snapshot;
}

// A cleared owner write permission counts as read-only for every user, root included, as the
// read-only attribute does on Windows; rename alone would replace such a file.
bool Writable(const std::string& path, mode_t mode) {
  return (mode & S_IWUSR) != 0 && Retried([&] { return ::access(path.c_str(), W_OK); }) == 0;
}

bool MayWrite(const std::string& target, const Snapshot& snapshot) {
  return !snapshot.exists || Writable(target, snapshot.status.st_mode);
}

bool DirectoryWritable(const std::string& directory) {
  struct stat status {};
  return Retried([&] { return ::stat(directory.c_str(), &status); }) == 0 &&
         Writable(directory, status.st_mode);
}

std::optional<Destination> FindDestination(const std::string& path) {
  std::optional<std::string> target = ResolveTarget(path);
  if (!target) return std::nullopt;
  Destination found;
  found.directory = DirectoryOf(*target);
  found.name = NameOf(*target);
  found.target = std::move(*target);
  found.directoryTakesReplacement = DirectoryWritable(found.directory);
  found.effectiveUser = ::geteuid();
  found.process = ::getpid();
  return found;
}

// The errors with which a directory refuses a new name or a rename, not the file's content.
bool RefusedByDirectory(int error) { return error == EACCES || error == EPERM; }

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

// All of `bytes` at `offset`, or at the file's position when `offset` is negative.
bool WriteAll(int fd, std::string_view bytes, off_t offset = -1) {
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
bool Synced(int fd) {
  return Retried([&] { return ::fdatasync(fd); }) == 0;
}

std::string TemporaryName(const Destination& destination) {
  static unsigned counter = 0;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return Join(destination.directory,
              "." + destination.name + "." + std::to_string(destination.process) + "-" +
                  std::to_string(++counter) + "-" + std::to_string(now.tv_nsec) + ".tmp");
}

// A temporary file in the target's directory. Where the file system allows it, the file has no
// name until just before it is renamed over the target (O_TMPFILE), so that even SIGKILL can
// leave a name behind only in that instant. A named temporary file is removed unless renamed.
class TemporaryFile {
 public:
  static std::optional<TemporaryFile> Anonymous(const std::string& directory, mode_t mode) {
    UniqueFd fd(
        Retried([&] { return ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode); }));
    if (!fd.Valid()) return std::nullopt;
    return TemporaryFile(std::move(fd), {});
  }

  static std::optional<TemporaryFile> Named(const Destination& destination, mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string path = TemporaryName(destination);
      UniqueFd fd(Retried(
          [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode); }));
      if (fd.Valid()) return TemporaryFile(std::move(fd), std::move(path));
      if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
  }

  TemporaryFile(TemporaryFile&& other) noexcept
      : fd_(std::move(other.fd_)), path_(std::exchange(other.path_, {})) {}
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) Retried([&] { return ::unlink(path_.c_str()); });
  }

  int Fd() const { return fd_.Get(); }

  // Gives an anonymous file a name beside the target.
  bool Name(const Destination& destination) {
    if (!path_.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string path = TemporaryName(destination);
      if (Retried([&] {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
          }) == 0 ||
          Retried([&] { return ::linkat(fd_.Get(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH); }) ==
              0) {
        path_ = std::move(path);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  bool RenameOver(const std::string& target) {
    if (Retried([&] { return ::rename(path_.c_str(), target.c_str()); }) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  TemporaryFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  UniqueFd fd_;
  std::string path_;
};

enum class Outcome { kWritten, kFailed, kFileChanged, kNoAnonymousFile, kDirectoryRefused };

Outcome FailedBy(int error) {
  return RefusedByDirectory(error) ? Outcome::kDirectoryRefused : Outcome::kFailed;
}

bool TakeOverAttributes(int fd, const Snapshot& old, uid_t effectiveUser) {
  if (!old.exists) return true;
  if (Retried([&] { return ::fchmod(fd, old.status.st_mode & 07777); }) != 0) return false;
  if (effectiveUser == 0) {
    // Ownership is kept where the process may keep it; the bytes matter more.
    Retried([&] { return ::fchown(fd, old.status.st_uid, old.status.st_gid); });
  }
  return true;
}

Outcome Replace(const Destination& destination, const Snapshot& old, const std::string& bytes,
                bool anonymous) {
  const mode_t mode = old.exists ? (old.status.st_mode & 07777) : 0666;
  TerminationSignalsHeld held;
  std::optional<TemporaryFile> temporary =
      anonymous ? TemporaryFile::Anonymous(destination.directory, mode)
                : TemporaryFile::Named(destination, mode);
  if (!temporary) return anonymous ? Outcome::kNoAnonymousFile : FailedBy(errno);
  if (!WriteAll(temporary->Fd(), bytes) ||
      !TakeOverAttributes(temporary->Fd(), old, destination.effectiveUser) ||
      !Synced(temporary->Fd())) {
    return Outcome::kFailed;
  }
  if (!StillAsRead(destination.target, old)) return Outcome::kFileChanged;
  if (!temporary->Name(destination)) {
    return anonymous ? Outcome::kNoAnonymousFile : FailedBy(errno);
  }
  return temporary->RenameOver(destination.target) ? Outcome::kWritten : FailedBy(errno);
}

Outcome ReplaceFile(const Destination& destination, const Snapshot& old, const std::string& bytes) {
  if (!destination.directoryTakesReplacement) return Outcome::kDirectoryRefused;
  const Outcome outcome = Replace(destination, old, bytes, true);
  return outcome == Outcome::kNoAnonymousFile ? Replace(destination, old, bytes, false) : outcome;
}

bool Truncated(int fd, std::size_t size) {
  return Retried([&] { return ::ftruncate(fd, static_cast<off_t>(size)); }) == 0;
}

std::optional<std::size_t> SizeOf(int fd) {
  struct stat status {};
  if (Retried([&] { return ::fstat(fd, &status); }) != 0) return std::nullopt;
  return static_cast<std::size_t>(status.st_size);
}

// Room for `size` bytes, without changing the file's size; a file system that cannot reserve
// space is written without.
bool Reserved(int fd, std::size_t size) {
  if (Retried([&] { return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)); }) ==
      0) {
    return true;
  }
  return errno == EOPNOTSUPP || errno == ENOSYS;
}

// Lengthens the file from `from` to `to` bytes with padding; a refused step gives it its
// length back.
bool Lengthened(int fd, std::size_t from, std::size_t to, Padding padding) {
  if (Reserved(fd, to) && WriteAll(fd, padding(to - from), static_cast<off_t>(from)) &&
      Synced(fd)) {
    return true;
  }
  Truncated(fd, from);
  return false;
}

// Puts `bytes` into a file of `length` bytes, at least as many: padded to that length, synced,
// then cut to their own length and synced again.
bool Overwritten(int fd, std::string_view bytes, std::size_t length, Padding padding) {
  const std::string padded = std::string(bytes) + padding(length - bytes.size());
  return WriteAll(fd, padded, 0) && Synced(fd) &&
         (length == bytes.size() || (Truncated(fd, bytes.size()) && Synced(fd)));
}

enum class Step { kDone, kUnchanged, kChanged };

// The file, now `size` bytes long, rewritten to hold `bytes`. A file that grows is lengthened so
// that its new end lies in a block beyond its last one: a file system that allocates blocks
// late (ext4) records such a length only with the block's data, where a length within the last
// block could reach the disk before the padding does.
Step Rewrite(int fd, std::size_t size, std::string_view bytes, std::size_t block, Padding padding) {
  std::size_t length = size;
  if (bytes.size() > size) {
    length = std::max(bytes.size(), (size + block - 1) / block * block + 1);
    if (!Lengthened(fd, size, length, padding)) return Step::kUnchanged;
  }
  return Overwritten(fd, bytes, length, padding) ? Step::kDone : Step::kChanged;
}

// The file rewritten through its own descriptor: the same bytes, owner and permissions as a
// replacement would leave, but no instant in which a reader sees no file.
Outcome RewriteInPlace(const std::string& target, const Snapshot& old, const std::string& bytes,
                       Padding padding) {
  TerminationSignalsHeld held;
  const UniqueFd file(
      Retried([&] { return ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW); }));
  if (!file.Valid()) return Outcome::kFailed;
  struct stat now {};
  if (Retried([&] { return ::fstat(file.Get(), &now); }) != 0 || now.st_ino != old.status.st_ino ||
      now.st_dev != old.status.st_dev || !StillAsRead(target, old)) {
    return Outcome::kFileChanged;
  }
  const int fd = file.Get();
  const auto size = static_cast<std::size_t>(old.status.st_size);
  // A file system whose preferred I/O size is large (NFS) would be padded far for nothing.
  const auto block = static_cast<std::size_t>(std::clamp<blksize_t>(now.st_blksize, 512, 65536));
  const Step step = Rewrite(fd, size, bytes, block, padding);
  if (step == Step::kChanged) {
    // The text has begun to change: the old one is put back by the same steps.
    Rewrite(fd, SizeOf(fd).value_or(std::max(size, bytes.size())), old.bytes, block, padding);
  }
  return step == Step::kDone ? Outcome::kWritten : Outcome::kFailed;
}

// A SIGKILL in the instant between naming a temporary file and renaming it leaves the file
// behind; the next run's flush removes those whose writer no longer lives.
void RemoveAbandonedTemporaryFiles(const UniqueDir& listing, const Destination& destination) {
  const std::string prefix = "." + destination.name + ".";
  while (const dirent* entry = Retried([&] { return ::readdir(listing.Get()); })) {
    const std::string_view entryName = entry->d_name;
    if (!entryName.starts_with(prefix) || !entryName.ends_with(".tmp")) continue;
    const std::string_view rest = entryName.substr(prefix.size());
    const pid_t writer =
        static_cast<pid_t>(std::atol(std::string(rest.substr(0, rest.find('-'))).c_str()));
    if (writer > 0 && writer != destination.process && ::kill(writer, 0) != 0 && errno == ESRCH) {
      Retried([&] { return ::unlinkat(::dirfd(listing.Get()), entry->d_name, 0); });
    }
  }
}

}  // namespace

FileReplacement::FileReplacement(std::u16string path, Padding padding)
    : path_(std::move(path)), padding_(padding) {}

const Destination* FileReplacement::Found() {
  if (!destination_) destination_ = FindDestination(ToUtf8(path_));
  return destination_ ? &*destination_ : nullptr;
}

bool FileReplacement::Replace(const Edit& edit) {
  if (const Destination* destination = Found()) {
    const std::string& target = destination->target;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
      const std::optional<Snapshot> old = ReadSnapshot(target);
      if (!old || !MayWrite(target, *old)) break;
      const std::string bytes = edit(old->bytes);
      Outcome outcome = ReplaceFile(*destination, *old, bytes);
      if (outcome == Outcome::kDirectoryRefused && old->exists) {
        outcome = RewriteInPlace(target, *old, bytes, padding_);
      }
      if (outcome == Outcome::kWritten) return true;
      if (outcome != Outcome::kFileChanged) break;
    }
  }
  // A later write finds everything out afresh.
  destination_.reset();
  return false;
}

void FileReplacement::Flush() {
  if (const Destination* destination = Found()) {
    // The listing's own descriptor also syncs the directory, after the removals.
    const UniqueDir directory(Retried([&] { return ::opendir(destination->directory.c_str()); }));
    if (directory.Valid()) {
      RemoveAbandonedTemporaryFiles(directory, *destination);
      Retried([&] { return ::fsync(::dirfd(directory.Get())); });
    }
  }
  destination_.reset();
}

}  // namespace qelo::platform
