#include "core/text.h"

#include <optional>

namespace qelo {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kEscapedByteBase = 0xDC00;

bool IsEscapedByte(char32_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// The well-formed sequence at `at`: its code point and length; length 0 when there is none.
struct Sequence {
  char32_t codePoint = 0;
  std::size_t length = 0;
};

Sequence SequenceAt(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  if (lead < 0x80) return {lead, 1};
  // C0 and C1 only begin overlong forms, F5 to FF nothing.
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || bytes.size() - at < length) return {};
  char32_t cp = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[at + k]);
    if ((next & 0xC0) != 0x80) return {};
    cp = (cp << 6) | (next & 0x3Fu);
  }
  const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
  return {cp, length};
}

// Writes `cp` at out[n] on and returns the index after it.
std::size_t PutUtf16(std::u16string& out, std::size_t n, char32_t cp) {
  if (cp < 0x10000) {
    out[n] = static_cast<char16_t>(cp);
    return n + 1;
  }
  cp -= 0x10000;
  out[n] = static_cast<char16_t>(0xD800 + (cp >> 10));
  out[n + 1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  return n + 2;
}

// The text of `bytes`; an ill-formed byte is escaped, or, when `escape` is false, gives nullopt.
std::optional<std::u16string> Decode(std::string_view bytes, bool escape) {
  // No character takes more UTF-16 code units than it has bytes.
  std::u16string out(bytes.size(), u'\0');
  std::size_t n = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const Sequence sequence = SequenceAt(bytes, i);
    if (sequence.length > 0) {
      n = PutUtf16(out, n, sequence.codePoint);
      i += sequence.length;
    } else if (escape) {
      out[n++] = static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(bytes[i++]));
    } else {
      return std::nullopt;
    }
  }
  out.resize(n);
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string EncodeUtf8(std::u16string_view text, bool bytesEscaped) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (bytesEscaped && IsEscapedByte(cp)) {
      out.push_back(static_cast<char>(cp - kEscapedByteBase));
      continue;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace

std::u16string FromUtf8(std::string_view bytes) { return *Decode(bytes, true); }

std::u16string DecodeUtf8Strict(std::string_view bytes) {
  return Decode(bytes, false).value_or(std::u16string());
}

std::string ToUtf8(std::u16string_view text) { return EncodeUtf8(text, true); }

std::string ToWellFormedUtf8(std::u16string_view text) { return EncodeUtf8(text, false); }

}  // namespace qelo
