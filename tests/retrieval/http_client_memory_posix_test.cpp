// A hostile-server case that only a native build can check: the process's own peak memory.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/failure.h"
#include "retrieval/http_client.h"
#include "retrieval/response_buffer.h"
#include "tests/support/script_server.h"

namespace qelo::test {
namespace {

using namespace std::chrono_literals;

// VmHWM of /proc/self/status, in bytes; 0 when it cannot be read.
std::size_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

// A server that floods far more than the response buffer may hold: the fetch must stop at the
// buffer's limit, not take everything in first. Natively each test case runs in a process of
// its own, so the peak belongs to this case.
TEST(HostileServerMemory, AFloodFarBeyondTheLimitLeavesThePeakBelowIt) {
  constexpr std::size_t kFlood = 256u << 20;
  const std::size_t before = PeakResidentBytes();
  if (before == 0) GTEST_SKIP() << "no /proc/self/status";
  {
    ScriptServer server({Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\n\r\n"),
                         Step::Flood(std::string(65536, 'f'), kFlood)});
    ResponseBuffer buffer(kCodePageUtf8);  // the program's own limit
    HttpClient client({.connect = 2s, .eachWait = 2s, .exchange = 20s});
    try {
      client.FetchPage(server.Address(), buffer);
      FAIL() << "a body past the limit was accepted";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.Message(), u"Response too large.");
    }
    EXPECT_TRUE(buffer.Bytes().empty());
  }
  // The limit, the buffer's doubling and, under a sanitizer, its quarantine of freed blocks
  // stay well below what taking in the whole flood would cost.
  const std::size_t grown = PeakResidentBytes() - before;
  EXPECT_LT(grown, 128u << 20) << "peak grew by " << grown << " bytes";
}

}  // namespace
}  // namespace qelo::test
