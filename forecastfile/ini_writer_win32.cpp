// The INI writer of the Windows build: WritePrivateProfileStringW, one call per key.
#include <utility>

#include "forecastfile/ini_writer.h"
#include "platform/private_profile.h"

namespace qelo {

IniWriter::IniWriter(std::u16string path) : path_(std::move(path)) {}

void IniWriter::WriteString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  if (!platform::WriteProfileEntry(section, key, value, path_)) Refused();
}

void IniWriter::Close() { platform::FlushPrivateProfile(path_); }

}  // namespace qelo
