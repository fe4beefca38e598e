#include "app/command_line_argument.h"

#include <string_view>

namespace qelo {
namespace {

constexpr char16_t Quote = u'"';

bool IsSeparator(char16_t c) { return c >= 1 && c <= 32; }

// Reads the next token from `rest` and leaves `rest` just after it.
std::u16string ReadToken(std::u16string_view& rest) {
  std::size_t pos = 0;
  for (;;) {
    while (pos < rest.size() && IsSeparator(rest[pos])) ++pos;
    if (pos + 1 < rest.size() && rest[pos] == Quote && rest[pos + 1] == Quote) {
      pos += 2;
    } else {
      break;
    }
  }
  std::u16string token;
  while (pos < rest.size() && rest[pos] > 32) {
    if (rest[pos] == Quote) {
      const std::size_t close = rest.find(Quote, pos + 1);
      const std::size_t end = close == std::u16string_view::npos ? rest.size() : close;
      token.append(rest.substr(pos + 1, end - pos - 1));
      pos = close == std::u16string_view::npos ? end : close + 1;
    } else {
      token += rest[pos++];
    }
  }
  rest.remove_prefix(pos);
  return token;
}

}  // namespace

std::u16string GetCommandLineArgument(const std::u16string& commandLine, int index) {
  if (index < 0) return {};
  std::u16string_view rest(commandLine);
  rest = rest.substr(0, rest.find(u'\0'));
  for (int i = 0;; ++i) {
    std::u16string token = ReadToken(rest);
    if (i == index || token.empty()) return token;
  }
}

}  // namespace qelo
