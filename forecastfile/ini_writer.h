#pragma once
// The INI writer. From its first write to its close it holds the file's lock, so that runs which
// overlap take turns; a refusal lets go of it. Windows: each write is one call of the system's
// private-profile service, and the close asks it to flush the file. Linux: the first write reads
// the file, each write edits the text in memory by the INI editing rules, and the close commits
// the text in one update: a run's keys reach the file together or not at all.

#include <chrono>
#include <string>
#include <utility>

#include "forecastfile/forecast_file.h"
#include "platform/file_lock.h"
#ifndef _WIN32
#include <optional>

#include "platform/file_update_posix.h"
#endif

namespace qelo {

// The largest forecast file that is read or written; the page is capped alike.
inline constexpr std::size_t kMaxForecastFileBytes = std::size_t{16} << 20;

class IniWriter final : public ForecastFile {
 public:
  // Holds the full path of the file; touches nothing and cannot fail.
  explicit IniWriter(std::u16string path) : path_(std::move(path)) {}
  // A refused write, the lock not had within 30 s, and on Linux a file or a result of more than
  // 16 MiB or a refused commit throw Failure(messages::kUnableToWriteTo + path). No retry.
  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override;
  void Close() override;

 private:
  // Far beyond any run's writing: only a writer that hangs holds the lock this long.
  static constexpr std::chrono::seconds kLockWait{30};

  [[noreturn]] void Refuse();

  std::u16string path_;
  platform::FileLock lock_;
#ifndef _WIN32
  std::optional<platform::FileSnapshot> file_;  // as the first write read it
  std::string text_;                            // with this run's writes
#endif
};

}  // namespace qelo
