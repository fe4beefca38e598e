#include "forecastfile/ini_edit.h"
#include "forecastfile/ini_writer.h"

namespace qelo {

void IniWriter::WriteString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  if (!lock_.Valid()) {
    lock_ = platform::TakeFileLock(path_, kLockWait);
    if (lock_.Valid()) file_ = platform::ReadForUpdate(path_, kMaxForecastFileBytes);
    if (!file_) Refuse();
    text_ = file_->bytes;
  }
  std::optional<std::string> edited = ApplyIniWrite(text_, section, key, value);
  if (!edited || edited->size() > kMaxForecastFileBytes) Refuse();
  text_ = std::move(*edited);
}

void IniWriter::Close() {
  if (file_ && !platform::CommitUpdate(*file_, text_)) Refuse();
  file_.reset();
  lock_ = {};
}

}  // namespace qelo
