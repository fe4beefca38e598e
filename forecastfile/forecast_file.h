#pragma once
// The open forecast file as the run and the extraction see it: string writes, then the closing
// flush. IniWriter is the program's; tests put recording stand-ins in its place.

#include <string>

namespace qelo {

class ForecastFile {
 public:
  virtual ~ForecastFile() = default;
  // Writes `value` under `key` in `section`; the change is in the file when the call returns.
  // Throws Failure when the write is refused.
  virtual void WriteString(const std::u16string& section, const std::u16string& key,
                           const std::u16string& value) = 0;
  // Asks for the file to be flushed to its storage; never fails.
  virtual void Close() = 0;
};

}  // namespace qelo
