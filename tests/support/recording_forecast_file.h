#pragma once
// A ForecastFile that keeps every write in order.

#include <ostream>
#include <string>
#include <vector>

#include "core/text.h"
#include "forecastfile/forecast_file.h"

namespace qelo::test {

struct RecordedWrite {
  std::u16string section;
  std::u16string key;
  std::u16string value;
  bool operator==(const RecordedWrite&) const = default;
};

inline void PrintTo(const RecordedWrite& write, std::ostream* out) {
  *out << '[' << ToUtf8(write.section) << "] " << ToUtf8(write.key) << '=' << ToUtf8(write.value);
}

class RecordingForecastFile final : public ForecastFile {
 public:
  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override {
    writes.push_back({section, key, value});
  }
  void Close() override {}

  std::vector<RecordedWrite> writes;
};

}  // namespace qelo::test
