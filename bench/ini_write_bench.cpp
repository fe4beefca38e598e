// One run's writing of the forecast file: the seventeen keys and the close, into a fresh file
// and over the file of a previous run.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "forecastfile/ini_writer.h"
#include "tests/forecastfile/fixed_run.h"
#include "tests/support/scratch_directory.h"

namespace {

using qelo::IniWriter;
using qelo::test::FixedRun;
using qelo::test::PathText;
using qelo::test::ScratchDirectory;

void BM_RunIntoFreshFile(benchmark::State& state) {
  ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  const qelo::test::RunValues values = FixedRun();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    IniWriter writer(PathText(file));
    qelo::test::WriteRunAndClose(writer, values);
  }
}
BENCHMARK(BM_RunIntoFreshFile)->Unit(benchmark::kMillisecond);

void BM_RunOverPreviousRun(benchmark::State& state) {
  ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  const qelo::test::RunValues values = FixedRun();
  IniWriter previous(PathText(file));
  qelo::test::WriteRunAndClose(previous, values);
  for (auto _ : state) {
    IniWriter writer(PathText(file));
    qelo::test::WriteRunAndClose(writer, values);
  }
}
BENCHMARK(BM_RunOverPreviousRun)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The seventeen writes alone, without the closing flush and its syncs.
void BM_WritesWithoutClose(benchmark::State& state) {
  ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  const qelo::test::RunValues values = FixedRun();
  IniWriter writer(PathText(file));
  qelo::test::WriteRunAndClose(writer, values);
  for (auto _ : state) qelo::test::WriteRun(writer, values);
}
BENCHMARK(BM_WritesWithoutClose)->Unit(benchmark::kMillisecond);

}  // namespace
