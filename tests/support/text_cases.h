#pragma once
// A function of text checked against a table: each case's text and what the function must give.

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "core/text.h"
#include "platform/process.h"

namespace qelo::test {

struct TextCase {
  std::u16string text, expected;
  char16_t separator = 0;  // a path of the build with this path separator; 0 for both builds
};

// A miss names the case's text; the cases of the other build's paths are passed over.
template <class Function>
void ExpectEachText(std::span<const TextCase> cases, Function function) {
  for (const TextCase& c : cases) {
    if (c.separator == 0 || c.separator == platform::kPathSeparator) {
      EXPECT_EQ(function(c.text), c.expected) << ToUtf8(c.text);
    }
  }
}

}  // namespace qelo::test
