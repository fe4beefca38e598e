#pragma once
// The open forecast file as the run sees it: string writes, then the close. IniWriter is the
// program's; tests put recording stand-ins in its place.

#include <memory>
#include <string>

namespace qelo {

class ForecastFile {
 public:
  virtual ~ForecastFile() = default;
  // Writes `value` under `key` in `section`. Throws Failure when the write is refused.
  virtual void WriteString(const std::u16string& section, const std::u16string& key,
                           const std::u16string& value) = 0;
  // Ends the writing: the file holds every write made, and is on its way to its storage. Throws
  // Failure where the writes are kept until the close and it cannot make them.
  virtual void Close() = 0;
};

// Opens the forecast file at a path: the program's gives an IniWriter.
class ForecastFiles {
 public:
  virtual ~ForecastFiles() = default;
  virtual std::unique_ptr<ForecastFile> Open(const std::u16string& path) = 0;
};

}  // namespace qelo
