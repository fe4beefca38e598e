#pragma once
// The write end of the forecast file as the extraction sees it.

#include <string>

namespace qelo {

class StringWriter {
 public:
  virtual ~StringWriter() = default;
  // Writes `value` under `key` in `section`; the change is in the file when the call returns.
  // Throws platform::Failure when the write is refused.
  virtual void WriteString(const std::u16string& section, const std::u16string& key,
                           const std::u16string& value) = 0;
};

}  // namespace qelo
