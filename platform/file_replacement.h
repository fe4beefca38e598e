#pragma once
// The safe replacement of one small text file's bytes on POSIX systems: the service under the
// POSIX build's own private-profile writes. One object serves one file for one run of writes.
//
// Each change is complete in the file, and on its storage, when Replace returns: a reader, a
// kill or a power cut at any moment finds the old bytes or the new ones, never a mix, never an
// empty file. Replace returns false when the file cannot be written, and the file then holds
// its old bytes.

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qelo::platform {

class FileReplacement {
 public:
  // The new bytes for the old ones (empty when there is no file yet).
  using Edit = std::function<std::string(std::string_view old)>;
  // `size` bytes that may follow any text of the file's format without changing what it says.
  using Padding = std::string (*)(std::size_t size);

  // Touches nothing. `path` is the full path of the file; a relative one is refused.
  FileReplacement(std::u16string path, Padding padding);

  // Reads the file and puts edit(its bytes) in its place.
  bool Replace(const Edit& edit);
  // Makes the last replacement's name durable and removes temporary files that killed writers
  // left in the folder; failures go unnoticed. The next Replace finds everything out afresh.
  void Flush();

  // What the first Replace finds out about the path, kept until Flush or a refused write.
  struct Destination {
    std::string target;     // every symbolic link resolved
    std::string directory;  // the target's
    std::string name;       // the target's
    bool directoryTakesReplacement = false;
    uid_t effectiveUser = 0;
    pid_t process = 0;
  };

 private:
  const Destination* Found();

  std::u16string path_;
  Padding padding_;
  std::optional<Destination> destination_;
};

}  // namespace qelo::platform
