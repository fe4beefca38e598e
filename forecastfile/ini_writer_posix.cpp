// The INI writer of the POSIX build: each key is one edit of the file's bytes by the INI
// editing rules, put in place by the platform's safe replacement.
#include <chrono>
#include <string_view>

#include "forecastfile/ini_edit.h"
#include "forecastfile/ini_writer.h"
#include "platform/file_replacement_posix.h"

namespace qelo {

bool IniWriter::WriteEntry(const std::u16string& section, const std::u16string& key,
                           const std::u16string& value) {
  // A host that writes the file without taking its lock may change it under a write, which
  // then edits the new text; only a writer that never stops keeps it from being written.
  constexpr std::chrono::seconds kContentionWait(30);
  return platform::ReplaceFileBytes(
      path_, [&](std::string_view old) { return ApplyIniWrite(old, section, key, value); },
      std::chrono::steady_clock::now() + kContentionWait);
}

void IniWriter::Flush() { platform::SyncFolderOf(path_); }

}  // namespace qelo
