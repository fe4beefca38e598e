#pragma once
// A forecast file left by a previous run, and the tools to spoil the next run's writing.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "core/failure.h"
#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/support/scratch_directory.h"

namespace qelo::test {

inline RunValues PreviousRun() {
  RunValues values = FixedRun();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i < 1 || i > 3) values[i] = u"old " + values[i];
  }
  return values;
}

class IniWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IniWriter previous(PathText(file_));
    WriteRunAndClose(previous, PreviousRun());
  }

  std::u16string Message(const std::function<void()>& action) {
    try {
      action();
    } catch (const Failure& failure) {
      return failure.Message();
    }
    return u"(no failure)";
  }

  ScratchDirectory scratch_;
  std::filesystem::path file_ = scratch_.File("qeloweather.ini");
};

// A writer that makes the file read-only just before one key is written, as a file that the
// user protects in the middle of a run.
class ProtectingBeforeKey final : public ForecastFile {
 public:
  ProtectingBeforeKey(IniWriter& file, std::filesystem::path path, std::u16string key)
      : file_(file), path_(std::move(path)), key_(std::move(key)) {}
  void WriteString(const std::u16string& section, const std::u16string& key,
                   const std::u16string& value) override {
    if (key == key_) MakeReadOnly(path_);
    file_.WriteString(section, key, value);
  }
  void Close() override { file_.Close(); }

 private:
  IniWriter& file_;
  std::filesystem::path path_;
  std::u16string key_;
};

}  // namespace qelo::test
