// Decoding speed of the page text decoder on markup-like ASCII and on Chinese text.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "core/text.h"

namespace {

std::string AsciiText(std::size_t bytes) {
  const std::string line =
      "<li class=\"sky skyid lv2\"><h1>9日（今天）</h1><p>16/9&#8451;</p></li>\n";
  std::string ascii;
  for (const char c : line) {
    if (static_cast<unsigned char>(c) < 0x80) ascii.push_back(c);
  }
  std::string text;
  text.reserve(bytes);
  while (text.size() < bytes) text += ascii;
  text.resize(bytes);
  return text;
}

// CJK ideographs U+4E00..U+9FA5, three bytes each; cut at a character boundary.
std::string ChineseText(std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  std::uint32_t cp = 0x4E00;
  while (text.size() + 3 <= bytes) {
    text.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    text.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    cp = cp == 0x9FA5 ? 0x4E00 : cp + 1;
  }
  return text;
}

void Decode(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) {
    std::u16string text = qelo::DecodeUtf8Strict(bytes);
    benchmark::DoNotOptimize(text.data());
    if (text.empty()) state.SkipWithError("decoding failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}

void BM_DecodeAscii(benchmark::State& state) {
  const std::string bytes = AsciiText(static_cast<std::size_t>(state.range(0)));
  Decode(state, bytes);
}

void BM_DecodeChinese(benchmark::State& state) {
  const std::string bytes = ChineseText(static_cast<std::size_t>(state.range(0)));
  Decode(state, bytes);
}

BENCHMARK(BM_DecodeAscii)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeChinese)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
