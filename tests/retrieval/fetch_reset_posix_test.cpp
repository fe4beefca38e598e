#include <gtest/gtest.h>

#include "tests/retrieval/fetch_testing.h"

namespace qelo::testing {
namespace {

TEST(FetchReset, BeforeAnyByteGivesTheResetMessage) {
  ExpectResetBeforeAnyByteGivesItsSocketMessage();
}

}  // namespace
}  // namespace qelo::testing
