#pragma once
// A forecast file left by a previous run.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

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

}  // namespace qelo::test
