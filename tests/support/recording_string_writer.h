#pragma once
// A StringWriter that keeps every write in order, and can refuse the write of one key.

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "forecastfile/string_writer.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace qelo::testing {

struct RecordedWrite {
  std::u16string section;
  std::u16string key;
  std::u16string value;
  bool operator==(const RecordedWrite&) const = default;
};

inline void PrintTo(const RecordedWrite& write, std::ostream* out) {
  *out << '[' << platform::ToUtf8(write.section) << "] " << platform::ToUtf8(write.key) << '='
       << platform::ToUtf8(write.value);
}

class RecordingStringWriter final : public StringWriter {
 public:
  RecordingStringWriter() = default;
  explicit RecordingStringWriter(std::u16string refusedKey) : refusedKey_(std::move(refusedKey)) {}

  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override {
    if (!refusedKey_.empty() && key == refusedKey_) {
      throw platform::Failure(u"Unable to write to recording");
    }
    writes.push_back({section, key, value});
  }

  std::vector<RecordedWrite> writes;

 private:
  std::u16string refusedKey_;
};

}  // namespace qelo::testing
