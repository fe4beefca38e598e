// Loading the page text into the page lines and running the extraction over it, on a
// generated forecast page (about 100 KB) and on a 16 MiB page made by repeating its head.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "retrieval/field_extraction.h"
#include "retrieval/page_lines.h"
#include "tools/forecast_page/forecast_page.h"

namespace qelo {
namespace {

const std::u16string& OrdinaryPage() {
  static const std::u16string text = DecodeUtf8Strict(MakeForecastPage("101230101").html);
  return text;
}

// The head and navigation repeated until the page holds 16 MiB of UTF-8, then the page itself:
// every line search runs through nearly all of it.
const std::u16string& HugePage() {
  static const std::u16string text = [] {
    const std::string page = MakeForecastPage("101230101").html;
    const std::string head = page.substr(0, page.find("<!-- 今天明天预报 begin-->"));
    std::string huge;
    while (huge.size() + page.size() < 16u * 1024u * 1024u) huge += head;
    return DecodeUtf8Strict(huge + page);
  }();
  return text;
}

void LoadAndExtract(benchmark::State& state, const std::u16string& text) {
  for (auto _ : state) {
    PageLines lines;
    lines.SetPageText(text);
    benchmark::DoNotOptimize(ExtractForecast(lines));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
}

void Load(benchmark::State& state, const std::u16string& text) {
  for (auto _ : state) {
    PageLines lines;
    lines.SetPageText(text);
    benchmark::DoNotOptimize(lines.GetLineCount());
  }
}

void Extract(benchmark::State& state, const std::u16string& text) {
  PageLines lines;
  lines.SetPageText(text);
  for (auto _ : state) benchmark::DoNotOptimize(ExtractForecast(lines));
}

// For comparison only: the same split into one string per line.
void LoadAsSeparateStrings(benchmark::State& state, const std::u16string& text) {
  for (auto _ : state) {
    std::vector<std::u16string> lines;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != u'\r' && text[i] != u'\n') continue;
      lines.emplace_back(text, begin, i - begin);
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      begin = i + 1;
    }
    lines.emplace_back(text, begin);
    benchmark::DoNotOptimize(lines.data());
  }
}

void BM_LoadAndExtract_100K(benchmark::State& s) { LoadAndExtract(s, OrdinaryPage()); }
void BM_LoadAndExtract_16M(benchmark::State& s) { LoadAndExtract(s, HugePage()); }
void BM_Load_16M(benchmark::State& s) { Load(s, HugePage()); }
void BM_Extract_16M(benchmark::State& s) { Extract(s, HugePage()); }
void BM_LoadAsSeparateStrings_100K(benchmark::State& s) {
  LoadAsSeparateStrings(s, OrdinaryPage());
}
void BM_LoadAsSeparateStrings_16M(benchmark::State& s) { LoadAsSeparateStrings(s, HugePage()); }
void BM_Load_100K(benchmark::State& s) { Load(s, OrdinaryPage()); }

BENCHMARK(BM_LoadAndExtract_100K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_100K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadAsSeparateStrings_100K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadAndExtract_16M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_16M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Extract_16M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAsSeparateStrings_16M)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qelo
