// The INI writer of the Windows build: WritePrivateProfileStringW, one call per key.
#include "forecastfile/ini_writer.h"
#include "platform/private_profile_win32.h"

namespace qelo {

bool IniWriter::WriteEntry(const std::u16string& section, const std::u16string& key,
                           const std::u16string& value) {
  return platform::WriteProfileEntry(section, key, value, path_);
}

void IniWriter::Flush() { platform::FlushPrivateProfile(path_); }

}  // namespace qelo
