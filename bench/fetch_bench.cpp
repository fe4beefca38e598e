// Reading a 16 MiB body over loopback through the HTTP client, for each framing; and, for
// bench/compare_curl.sh, the same read from the address in QELO_FETCH_ADDRESS.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "core/text.h"
#include "retrieval/http_client.h"
#include "tests/support/script_server.h"

namespace qelo {
namespace {

using test::ScriptServer;
using test::Step;

constexpr std::size_t kBodyBytes = kMaxResponseBytes;
constexpr std::size_t kChunkBytes = 32768;

std::string Body() { return std::string(kBodyBytes, 'a'); }

std::string WithContentLength() {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBodyBytes) + "\r\n\r\n" + Body();
}

std::string Chunked() {
  std::string response = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string chunk = "8000\r\n" + std::string(kChunkBytes, 'a') + "\r\n";
  for (std::size_t sent = 0; sent < kBodyBytes; sent += kChunkBytes) response += chunk;
  return response + "0\r\n\r\n";
}

std::string UntilClose() { return "HTTP/1.1 200 OK\r\n\r\n" + Body(); }

void FetchEach(benchmark::State& state, HttpClient& client, const std::u16string& address) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    ResponseBuffer buffer(kCodePageUtf8);
    client.FetchPage(address, buffer);
    bytes += buffer.Bytes().size();
    benchmark::DoNotOptimize(buffer.Bytes().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_Fetch16MiB(benchmark::State& state, std::string (*response)()) {
  ScriptServer server({Step::AwaitRequest(), Step::Send(response()), Step::Close()},
                      ScriptServer::kUnlimited);
  HttpClient client;
  FetchEach(state, client, server.Address());
}

BENCHMARK_CAPTURE(BM_Fetch16MiB, ContentLength, WithContentLength)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Fetch16MiB, Chunked, Chunked)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Fetch16MiB, UntilClose, UntilClose)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Registered only when the address is given, so that a plain run of every benchmark skips it.
const bool kFromEnvironment = [] {
  const char* address = std::getenv("QELO_FETCH_ADDRESS");
  if (address == nullptr) return false;
  benchmark::RegisterBenchmark("BM_FetchFromEnvironment",
                               [target = FromUtf8(address)](benchmark::State& state) {
                                 HttpClient client;
                                 FetchEach(state, client, target);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  // One fetch alone, for measuring the peak memory of a single fetch from outside the process.
  benchmark::RegisterBenchmark("BM_FetchOnceFromEnvironment", [target = FromUtf8(address)](
                                                                  benchmark::State& state) {
    HttpClient client;
    FetchEach(state, client, target);
  })->Iterations(1);
  return true;
}();

}  // namespace
}  // namespace qelo
