// The POSIX private-profile service against golden files: each case's input file receives the
// seventeen keys of the fixed run and must then hold exactly the bytes of its .out.ini.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/support/scratch_directory.h"

namespace qelo {
namespace {

using test::ReadBytes;
using test::ScratchDirectory;

struct GoldenCase {
  const char* name;
  bool withEmptyValues = false;
};

void PrintTo(const GoldenCase& c, std::ostream* out) { *out << c.name; }

class GoldenFileTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFileTest, RunLeavesExactlyTheExpectedBytes) {
  const GoldenCase& golden = GetParam();
  const std::filesystem::path directory = QELO_GOLDEN_DIR;
  const std::filesystem::path input = directory / (std::string(golden.name) + ".in.ini");
  const std::filesystem::path expected = directory / (std::string(golden.name) + ".out.ini");
  ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  if (std::filesystem::exists(input)) std::filesystem::copy_file(input, file);

  IniWriter writer(test::PathText(file));
  test::WriteRunAndClose(
      writer, golden.withEmptyValues ? test::FixedRunWithEmptyValues() : test::FixedRun());

  ASSERT_TRUE(std::filesystem::exists(expected)) << expected;
  EXPECT_EQ(ReadBytes(file), ReadBytes(expected));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"qeloweather.ini"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GoldenFileTest,
    ::testing::Values(GoldenCase{"no_file"}, GoldenCase{"full_section"}, GoldenCase{"crlf"},
                      GoldenCase{"bom"}, GoldenCase{"empty_values", true}, GoldenCase{"key_case"},
                      GoldenCase{"section_case"}, GoldenCase{"no_final_line_end"},
                      GoldenCase{"no_section"}, GoldenCase{"section_twice"},
                      GoldenCase{"trailing_comments"}),
    [](const ::testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qelo
