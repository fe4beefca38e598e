#include "forecastfile/ini_writer.h"

#include <chrono>
#include <utility>

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

IniWriter::IniWriter(std::u16string path) : path_(std::move(path)) {}

void IniWriter::WriteString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& value) {
  // Far beyond any run's writing: only a writer that hangs holds the lock this long.
  constexpr std::chrono::seconds kLockWait(30);
  if (!lock_.Held()) lock_ = platform::FileLock::Take(path_, kLockWait);
  if (!lock_.Held() || !WriteEntry(section, key, value)) {
    // The failed run then waits for its watchdog: it must not keep other runs waiting too.
    lock_ = {};
    throw Failure(messages::kUnableToWriteTo + path_);
  }
}

void IniWriter::Close() {
  Flush();
  lock_ = {};
}

}  // namespace qelo
