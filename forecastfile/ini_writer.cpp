#include "forecastfile/ini_writer.h"

#include <utility>

#include "platform/failure.h"
#include "platform/private_profile.h"

namespace qelo {

IniWriter::IniWriter(std::u16string path) : path_(std::move(path)) {}

void IniWriter::WriteString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  if (!platform::WritePrivateProfileString(section, key, value, path_)) {
    throw platform::Failure(u"Unable to write to " + path_);
  }
}

void IniWriter::Close() { platform::FlushPrivateProfile(path_); }

}  // namespace qelo
