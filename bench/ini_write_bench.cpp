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
using qelo::test::RunValues;
using qelo::test::ScratchDirectory;
using qelo::test::WriteRunAndClose;

// Each iteration a whole run over the file of a previous one; with `fresh`, into no file.
void BM_Run(benchmark::State& state, bool fresh) {
  ScratchDirectory scratch;
  const std::filesystem::path file = scratch.File("qeloweather.ini");
  const RunValues values = FixedRun();
  IniWriter previous(PathText(file));
  WriteRunAndClose(previous, values);
  for (auto _ : state) {
    if (fresh) {
      state.PauseTiming();
      std::filesystem::remove(file);
      state.ResumeTiming();
    }
    IniWriter writer(PathText(file));
    WriteRunAndClose(writer, values);
  }
}
BENCHMARK_CAPTURE(BM_Run, IntoFreshFile, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Run, OverPreviousRun, false)->Unit(benchmark::kMillisecond);

// The seventeen writes alone, edits of the text in memory on Linux, without the commit.
void BM_WritesWithoutClose(benchmark::State& state) {
  ScratchDirectory scratch;
  IniWriter writer(PathText(scratch.File("qeloweather.ini")));
  const RunValues values = FixedRun();
  for (auto _ : state) qelo::test::WriteRun(writer, values);
}
BENCHMARK(BM_WritesWithoutClose)->Unit(benchmark::kMillisecond);

}  // namespace
