// The private-profile service of the POSIX build. Each write replaces the whole file at once:
// the new bytes go into a temporary file in the file's own directory, which is then renamed
// over the file, so a reader, a crash or a kill sees the old file or the new one, never a mix.
// Writes are not synced one by one; the flush syncs the file and its directory.
//
// A run writes one key after the other to the same path. What the path leads to (every link
// followed), whether that directory takes a replacement and who the process is are found out by
// the first write and kept until the flush, or until a write fails; every write still reads the
// file afresh and checks, just before its replacement, that nobody has changed it since.
//
// Where the directory refuses the replacement (a shared install folder the user may not write,
// a sticky folder of another owner) but the file itself may be written, the new bytes are
// written into the file through its own descriptor and synced, as Windows' own service does;
// the space is reserved first, so that a full disk refuses the write before a byte changes.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix_handles.h"
#include "platform/private_profile.h"
#include "platform/profile_text.h"
#include "platform/text.h"

namespace qelo::platform {
namespace {

constexpr int kMaxSymbolicLinks = 40;
constexpr int kWriteAttempts = 3;
constexpr int kNameAttempts = 16;

// Holds back SIGTERM, SIGINT and SIGHUP while a temporary file exists: the program's handlers
// for them end it at once, which would leave the temporary file behind.
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
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

// The regular file a write goes to: the path with every symbolic link resolved, also when the
// last link points at a file that does not exist yet.
std::optional<std::string> ResolveTarget(std::string path) {
  if (path.empty() || path.ends_with('/')) return std::nullopt;
  for (int hop = 0; hop < kMaxSymbolicLinks; ++hop) {
    if (std::optional<std::string> real = RealPath(path)) return real;
    if (errno != ENOENT) return std::nullopt;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
      if (errno != ENOENT) return std::nullopt;
      const std::optional<std::string> directory = RealPath(DirectoryOf(path));
      if (!directory) return std::nullopt;
      return Join(*directory, NameOf(path));
    }
    if (!S_ISLNK(status.st_mode)) return std::nullopt;
    std::string link(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
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
  UniqueFd file(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) {
    if (errno == ENOENT) return snapshot;
    return std::nullopt;
  }
  if (::fstat(file.Get(), &snapshot.status) != 0 || !S_ISREG(snapshot.status.st_mode)) {
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
    const ssize_t count = ::read(file.Get(), bytes.data() + size, bytes.size() - size);
    if (count < 0 && errno == EINTR) continue;
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
  return (mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool MayWrite(const std::string& target, const Snapshot& snapshot) {
  return !snapshot.exists || Writable(target, snapshot.status.st_mode);
}

bool DirectoryWritable(const std::string& directory) {
  struct stat status {};
  return ::stat(directory.c_str(), &status) == 0 && Writable(directory, status.st_mode);
}

// The path of a run's writes and what its first write found out about it.
struct Destination {
  std::string path;       // as the caller named it
  std::string target;     // every symbolic link resolved
  std::string directory;  // the target's
  std::string name;       // the target's
  bool directoryTakesReplacement = false;
  uid_t effectiveUser = 0;
  pid_t process = 0;
};

// The destination of this thread's run; a forked child finds none, being another process.
thread_local std::optional<Destination> current;

void Forget() { current.reset(); }

// The destination of `path`: the one already found, or found now.
const Destination* DestinationOf(const std::string& path) {
  if (current && current->path == path) return &*current;
  static const bool forgottenInChildren = ::pthread_atfork(nullptr, nullptr, Forget) == 0;
  static_cast<void>(forgottenInChildren);
  Forget();
  std::optional<std::string> target = ResolveTarget(path);
  if (!target) return nullptr;
  Destination& found = current.emplace();
  found.path = path;
  found.directory = DirectoryOf(*target);
  found.name = NameOf(*target);
  found.target = std::move(*target);
  found.directoryTakesReplacement = DirectoryWritable(found.directory);
  found.effectiveUser = ::geteuid();
  found.process = ::getpid();
  return &found;
}

// The errors with which a directory refuses a new name or a rename, not the file's content.
bool RefusedByDirectory(int error) { return error == EACCES || error == EPERM; }

// True while the file is still the one that was read; a write by somebody else in between
// must not be overwritten with bytes that do not contain it.
bool StillAsRead(const std::string& target, const Snapshot& snapshot) {
  struct stat now {};
  if (::stat(target.c_str(), &now) != 0) return errno == ENOENT && !snapshot.exists;
  const struct stat& then = snapshot.status;
  return snapshot.exists && now.st_dev == then.st_dev && now.st_ino == then.st_ino &&
         now.st_size == then.st_size && now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
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
    UniqueFd fd(::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!fd.Valid()) return std::nullopt;
    return TemporaryFile(std::move(fd), {});
  }

  static std::optional<TemporaryFile> Named(const Destination& destination, mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string path = TemporaryName(destination);
      UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
      if (fd.Valid()) return TemporaryFile(std::move(fd), std::move(path));
      if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
  }

  TemporaryFile(TemporaryFile&& other) noexcept
      : fd_(std::move(other.fd_)), path_(std::exchange(other.path_, {})) {}
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  int Fd() const { return fd_.Get(); }

  // Gives an anonymous file a name beside the target.
  bool Name(const Destination& destination) {
    if (!path_.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string path = TemporaryName(destination);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          ::linkat(fd_.Get(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
        path_ = std::move(path);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  bool RenameOver(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return false;
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
  if (::fchmod(fd, old.status.st_mode & 07777) != 0) return false;
  if (effectiveUser == 0 && ::fchown(fd, old.status.st_uid, old.status.st_gid) != 0) {
    // Ownership is kept where the process may keep it; the bytes matter more.
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
      !TakeOverAttributes(temporary->Fd(), old, destination.effectiveUser)) {
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

// Room for `size` bytes, taken before a byte of the file changes; a file system that cannot
// reserve space is written without. A refused reservation gives the file its old size back.
bool ReserveSpace(int fd, std::size_t size, off_t oldSize) {
  if (size == 0 || ::fallocate(fd, 0, 0, static_cast<off_t>(size)) == 0) return true;
  if (errno == EOPNOTSUPP || errno == ENOSYS) return true;
  ::ftruncate(fd, oldSize);
  return false;
}

bool WriteAllAt(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// The file rewritten through its own descriptor: the same bytes, owner and permissions as a
// replacement would leave, but no instant in which a reader sees no file.
Outcome RewriteInPlace(const std::string& target, const Snapshot& old, const std::string& bytes) {
  TerminationSignalsHeld held;
  const UniqueFd file(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file.Valid()) return Outcome::kFailed;
  struct stat now {};
  if (::fstat(file.Get(), &now) != 0 || now.st_ino != old.status.st_ino ||
      now.st_dev != old.status.st_dev || !StillAsRead(target, old)) {
    return Outcome::kFileChanged;
  }
  if (!ReserveSpace(file.Get(), bytes.size(), old.status.st_size) ||
      !WriteAllAt(file.Get(), bytes) ||
      ::ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(file.Get()) != 0) {
    return Outcome::kFailed;
  }
  return Outcome::kWritten;
}

// A SIGKILL in the instant between naming a temporary file and renaming it leaves the file
// behind; the next run's flush removes those whose writer no longer lives.
void RemoveAbandonedTemporaryFiles(const UniqueDir& listing, const Destination& destination) {
  const std::string prefix = "." + destination.name + ".";
  while (const dirent* entry = ::readdir(listing.Get())) {
    const std::string_view entryName = entry->d_name;
    if (!entryName.starts_with(prefix) || !entryName.ends_with(".tmp")) continue;
    const std::string_view rest = entryName.substr(prefix.size());
    const pid_t writer =
        static_cast<pid_t>(std::atol(std::string(rest.substr(0, rest.find('-'))).c_str()));
    if (writer > 0 && writer != destination.process && ::kill(writer, 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(listing.Get()), entry->d_name, 0);
    }
  }
}

}  // namespace

bool WriteProfileEntry(const std::u16string& section, const std::u16string& key,
                       const std::u16string& value, const std::u16string& path) {
  const Destination* destination = DestinationOf(ToUtf8(path));
  if (destination == nullptr) return false;
  const std::string& target = destination->target;
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    const std::optional<Snapshot> old = ReadSnapshot(target);
    if (!old || !MayWrite(target, *old)) break;
    const std::string bytes = ApplyProfileWrite(old->bytes, section, key, value);
    Outcome outcome = ReplaceFile(*destination, *old, bytes);
    if (outcome == Outcome::kDirectoryRefused && old->exists) {
      outcome = RewriteInPlace(target, *old, bytes);
    }
    if (outcome == Outcome::kWritten) return true;
    if (outcome != Outcome::kFileChanged) break;
  }
  // A later write finds everything out afresh.
  Forget();
  return false;
}

void FlushPrivateProfile(const std::u16string& path) {
  const Destination* destination = DestinationOf(ToUtf8(path));
  if (destination == nullptr) return;
  const UniqueFd file(::open(destination->target.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Valid()) ::fsync(file.Get());
  // The listing's own descriptor also syncs the directory, after the removals.
  const UniqueDir directory(::opendir(destination->directory.c_str()));
  if (directory.Valid()) {
    RemoveAbandonedTemporaryFiles(directory, *destination);
    ::fsync(::dirfd(directory.Get()));
  }
  Forget();
}

}  // namespace qelo::platform
