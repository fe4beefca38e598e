// The INI writer of the POSIX build: each key is one edit of the file's bytes by the INI
// editing rules, put in place by the platform's safe replacement.
#include <string_view>
#include <utility>

#include "forecastfile/ini_edit.h"
#include "forecastfile/ini_writer.h"

namespace qelo {

IniWriter::IniWriter(std::u16string path) : path_(std::move(path)), file_(path_, IniPadding) {}

void IniWriter::WriteString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  if (!file_.Replace(
          [&](std::string_view old) { return ApplyIniWrite(old, section, key, value); })) {
    Refused();
  }
}

void IniWriter::Close() { file_.Flush(); }

}  // namespace qelo
