#include "retrieval/utf8.h"

#include <algorithm>

namespace qelo {
namespace {

bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

// Writes `cp` at text[out] on and returns the index after it.
std::size_t PutUtf16(std::u16string& text, std::size_t out, char32_t cp) {
  if (cp < 0x10000) {
    text[out] = static_cast<char16_t>(cp);
    return out + 1;
  }
  const char32_t offset = cp - 0x10000;
  text[out] = static_cast<char16_t>(0xD800 + (offset >> 10));
  text[out + 1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
  return out + 2;
}

}  // namespace

std::u16string DecodeUtf8Strict(std::string_view bytes) {
  std::u16string text;
  // No character takes more UTF-16 code units than it has bytes.
  text.resize(bytes.size());
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      // A run of ASCII, most of a page's markup, in one loop the compiler can widen.
      std::size_t end = i + 1;
      while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) < 0x80) ++end;
      std::copy(bytes.data() + i, bytes.data() + end, text.data() + out);
      out += end - i;
      i = end;
      continue;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {  // C0 and C1 only begin overlong forms
      length = 2;
      cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07u;
    } else {
      return {};  // stray continuation byte or F5..FF
    }
    if (bytes.size() - i < length) return {};
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (!IsContinuation(next)) return {};
      cp = (cp << 6) | (next & 0x3Fu);
    }
    if (length == 3 && cp < 0x800) return {};                       // overlong
    if (cp >= 0xD800 && cp <= 0xDFFF) return {};                    // surrogate
    if (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return {};  // overlong, too large
    out = PutUtf16(text, out, cp);
    i += length;
  }
  text.resize(out);
  return text;
}

}  // namespace qelo
