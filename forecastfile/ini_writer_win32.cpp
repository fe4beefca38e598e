// The INI writer of the Windows build: WritePrivateProfileStringW, one call per key.
#include "forecastfile/ini_writer.h"
#include "platform/private_profile_win32.h"

namespace qelo {

void IniWriter::WriteString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  if (!lock_.Valid()) lock_ = platform::TakeFileLock(path_, kLockWait);
  if (!lock_.Valid() || !platform::WriteProfileEntry(section, key, value, path_)) Refuse();
}

void IniWriter::Close() {
  platform::FlushPrivateProfile(path_);
  lock_ = {};
}

}  // namespace qelo
