#include <windows.h>

#include <gtest/gtest.h>

#include "tests/retrieval/fetch_testing.h"

namespace qelo::testing {
namespace {

// Wine's socket layer reports a reset connection to recv as an orderly close, unlike Windows.
bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(FetchReset, BeforeAnyByteGivesTheResetMessage) {
  if (RunningUnderWine()) GTEST_SKIP() << "Wine reports a reset as an orderly close";
  ExpectResetBeforeAnyByteGivesItsSocketMessage();
}

}  // namespace
}  // namespace qelo::testing
