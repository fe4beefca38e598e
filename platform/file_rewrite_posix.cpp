#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "platform/file_rewrite_posix.h"
#include "platform/posix_calls.h"

namespace qelo::platform {
namespace {

bool Truncated(int fd, std::size_t size) {
  return Retried([&] { return ::ftruncate(fd, static_cast<off_t>(size)); }) == 0;
}

std::size_t SizeOf(int fd, std::size_t otherwise) {
  struct stat status {};
  return Retried([&] { return ::fstat(fd, &status); }) == 0
             ? static_cast<std::size_t>(status.st_size)
             : otherwise;
}

// `size` bytes that may follow the text without changing what it says: a line end, then blanks.
std::string Padding(std::size_t size) {
  std::string padding(size, ' ');
  if (size > 0) padding.front() = '\n';
  return padding;
}

// Room for `size` bytes without changing the file's size; a file system that cannot reserve
// space is written without.
bool Reserved(int fd, std::size_t size) {
  const auto length = static_cast<off_t>(size);
  return Retried([&] { return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length); }) == 0 ||
         errno == EOPNOTSUPP || errno == ENOSYS;
}

// Lengthens the file from `from` to `to` bytes with padding; a refused step gives it its
// length back.
bool Lengthened(int fd, std::size_t from, std::size_t to) {
  if (Reserved(fd, to) && WriteAll(fd, Padding(to - from), static_cast<off_t>(from)) &&
      Synced(fd)) {
    return true;
  }
  Truncated(fd, from);
  return false;
}

// Puts `bytes` into a file of `length` bytes, at least as many: padded to that length, synced,
// then cut to their own length and synced again.
bool Overwritten(int fd, std::string_view bytes, std::size_t length) {
  const std::string padded = std::string(bytes) + Padding(length - bytes.size());
  return WriteAll(fd, padded, 0) && Synced(fd) &&
         (length == bytes.size() || (Truncated(fd, bytes.size()) && Synced(fd)));
}

enum class Step { kDone, kUnchanged, kChanged };

// A file that grows is lengthened so that its new end lies in a block beyond its last one: a
// file system that allocates blocks late (ext4) records such a length only with the block's
// data, where a length within the last block could reach the disk before the padding does.
Step Rewrite(int fd, std::size_t size, std::string_view bytes, std::size_t block) {
  std::size_t length = size;
  if (bytes.size() > size) {
    length = std::max(bytes.size(), (size + block - 1) / block * block + 1);
    if (!Lengthened(fd, size, length)) return Step::kUnchanged;
  }
  return Overwritten(fd, bytes, length) ? Step::kDone : Step::kChanged;
}

}  // namespace

bool RewriteInPlace(int fd, std::string_view old, std::string_view bytes, std::size_t block) {
  const Step step = Rewrite(fd, old.size(), bytes, block);
  if (step == Step::kChanged) {
    // The text has begun to change: the old one is put back by the same steps.
    Rewrite(fd, SizeOf(fd, std::max(old.size(), bytes.size())), old, block);
  }
  return step == Step::kDone;
}

}  // namespace qelo::platform
