#pragma once
// The INI writer: one private-profile write per key, a flush on close. From its first write to
// the flush it holds the file's lock, so that runs which overlap take turns, each writing its
// whole set of keys; a refused write lets go of it.

#include <string>

#include "forecastfile/forecast_file.h"
#include "platform/file_lock.h"

namespace qelo {

class IniWriter final : public ForecastFile {
 public:
  // Holds the full path of the file; touches nothing and cannot fail.
  explicit IniWriter(std::u16string path);
  // One private-profile write; a refusal, or the lock not had within 30 s, throws
  // Failure(messages::kUnableToWriteTo + path). No retry.
  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override;
  // Asks the service to flush the file; its result is not looked at.
  void Close() override;

 private:
  // The platform's own service: each build defines these two.
  bool WriteEntry(const std::u16string& section, const std::u16string& key,
                  const std::u16string& value);
  void Flush();

  std::u16string path_;
  platform::FileLock lock_;
};

}  // namespace qelo
