// The Windows command-line tokenizer. The input, read as UTF-16 code units, is a whole command
// line: every argument agrees with a reference tokenizer written as a plain state machine, holds
// no double quote and no NUL, is a subsequence of the line, and once an argument comes out empty
// every later one is empty too.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line_argument.h"

namespace {

constexpr int kArgumentsChecked = 6;

std::vector<std::u16string> ReferenceTokens(const std::u16string& line) {
  const std::size_t n = std::min(line.find(u'\0'), line.size());
  std::vector<std::u16string> tokens;
  std::size_t i = 0;
  while (tokens.size() < kArgumentsChecked) {
    for (;;) {
      while (i < n && line[i] >= 1 && line[i] <= 32) ++i;
      if (i + 1 < n && line[i] == u'"' && line[i + 1] == u'"') {
        i += 2;
        continue;
      }
      break;
    }
    std::u16string token;
    bool quoted = false;
    for (; i < n; ++i) {
      const char16_t c = line[i];
      if (quoted) {
        if (c == u'"') {
          quoted = false;
        } else {
          token += c;
        }
      } else if (c <= 32) {
        break;
      } else if (c == u'"') {
        quoted = true;
      } else {
        token += c;
      }
    }
    const bool empty = token.empty();
    tokens.push_back(std::move(token));
    // Reading stops at the first empty token; every later argument is empty.
    if (empty) break;
  }
  tokens.resize(kArgumentsChecked);
  return tokens;
}

bool IsSubsequence(const std::u16string& part, const std::u16string& whole) {
  std::size_t at = 0;
  for (const char16_t c : part) {
    at = whole.find(c, at);
    if (at == std::u16string::npos) return false;
    ++at;
  }
  return true;
}

void CheckWholeLine(const std::u16string& line) {
  const std::vector<std::u16string> expected = ReferenceTokens(line);
  bool seenEmpty = false;
  if (!qelo::GetCommandLineArgument(line, -1).empty()) std::abort();
  for (int index = 0; index < kArgumentsChecked; ++index) {
    const std::u16string argument = qelo::GetCommandLineArgument(line, index);
    if (argument != expected[index]) std::abort();
    if (argument.find(u'"') != std::u16string::npos) std::abort();
    if (argument.find(u'\0') != std::u16string::npos) std::abort();
    if (!IsSubsequence(argument, line)) std::abort();
    if (seenEmpty && !argument.empty()) std::abort();
    seenEmpty = seenEmpty || argument.empty();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string input(size / 2, u'\0');
  for (std::size_t i = 0; i < input.size(); ++i) {
    input[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  CheckWholeLine(input);
  return 0;
}
