#pragma once
// The safe replacement of a small text file's bytes on POSIX systems, under the POSIX build's
// own private-profile service.
//
// Each change is complete in the file, and on its storage, when ReplaceFileBytes returns: a
// reader, a kill or a power cut at any moment finds the old bytes or the new ones, never a mix,
// never an empty file. The file is taken to be text of lines after whose last line a line of
// blanks means nothing: a rewrite in place pads the file with such a line while it changes.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qelo::platform {

// The new bytes for the old ones (empty when there is no file yet), or nullopt to refuse them.
using ByteEdit = std::function<std::optional<std::string>(std::string_view old)>;

// Puts edit(the file's bytes) in place of the file at the absolute `path` (links followed).
// When another writer changes the file meanwhile, it is read and edited again, until
// `deadline`. False when the file cannot be written, or is no regular file of at most 16 MiB;
// the file then holds its old bytes.
bool ReplaceFileBytes(const std::u16string& path, const ByteEdit& edit,
                      std::chrono::steady_clock::time_point deadline);

// Makes the last replacement's name durable; failures go unnoticed.
void SyncFolderOf(const std::u16string& path);

}  // namespace qelo::platform
