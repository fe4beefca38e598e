#pragma once
// One update of a small text file under its lock, as git makes one under its lockfile: the file
// is read once, its new text is made in memory, and the update is committed once.
//
// A commit writes the text into a temporary file beside the file (".<name>.new"), gives it the
// file's owner, group and mode, syncs its data, renames it over the file and syncs the folder:
// a kill or a power cut at any moment leaves the old text or the new one. The end signals wait
// while the temporary file exists; one that a killed run left is replaced by the next commit.
//
// Where a rename would make another file of it (a second hard link, an owner or group the
// process cannot give a new file, a folder that refuses new names), the file is rewritten in
// place: the new text, padded with a line end and blanks to the old length, in one write that is
// on the disk when it returns, then cut to its own length. A kill leaves the old text or the new
// one, perhaps followed by that line of blanks; so does a power cut while the text fits in the
// file's first block (4 KiB on ext4). A power cut during a longer write can leave a mix.

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/descriptor_posix.h"

namespace qelo::platform {

struct FileSnapshot {
  std::string path;  // the file itself: a symbolic link at the end of the given path followed
  UniqueFd file;     // open for reading and writing; none when there was no file yet
  struct stat status {};
  std::string bytes;
};

// The file at the absolute `path` as it is now; no file yet gives an empty snapshot. Nullopt,
// without blocking, for anything but a regular file, one above `maxBytes`, one with holes, one
// that may not be written (a clear owner write bit counts for root too) or cannot be read.
std::optional<FileSnapshot> ReadForUpdate(const std::u16string& path, std::size_t maxBytes);

// Puts `bytes` in place of the file `old` was read from; false, the file as it was, when a step
// up to the rename (or the write in place) is refused. The sync after it is not looked at.
bool CommitUpdate(const FileSnapshot& old, std::string_view bytes);

}  // namespace qelo::platform
