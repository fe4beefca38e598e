#pragma once
// The INI writer: one private-profile write per key, a flush on close.

#include <string>

#include "forecastfile/forecast_file.h"
#ifndef _WIN32
#include "platform/file_replacement.h"
#endif

namespace qelo {

class IniWriter final : public ForecastFile {
 public:
  // Holds the full path of the file; touches nothing and cannot fail.
  explicit IniWriter(std::u16string path);
  // One private-profile write; a refusal throws Failure(messages::kUnableToWriteTo + path).
  // No retry.
  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override;
  // Asks the service to flush the file; its result is not looked at.
  void Close() override;

 private:
  [[noreturn]] void Refused() const;

  std::u16string path_;
#ifndef _WIN32
  // The POSIX build's own service: the INI editing rules over the platform's safe replacement
  // of the file, which keeps what the run's first write finds out about the file.
  platform::FileReplacement file_;
#endif
};

}  // namespace qelo
