#include "retrieval/utf8.h"

#include <cstdint>
#include <cstring>

namespace qelo {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

std::uint64_t Load64(const unsigned char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Both bytes are continuation bytes (10xxxxxx).
bool AreContinuations(unsigned char a, unsigned char b) {
  return ((a ^ 0x80u) | (b ^ 0x80u)) < 0x40u;
}

bool IsContinuation(unsigned char b) { return (b ^ 0x80u) < 0x40u; }

// The UTF-16 length of well-formed input: one unit per byte that is no continuation byte, and
// a second one for each four-byte lead. For ill-formed input the decoder writes no more than
// this before it stops, so the count is also a safe size for its output.
std::size_t Utf16Length(const unsigned char* in, std::size_t count) {
  constexpr std::uint64_t kLowBits = 0x0101010101010101ull;
  std::size_t units = 0;
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const std::uint64_t word = Load64(in + i);
    // Bit 7 of each byte: set for a byte that begins a character (not 10xxxxxx) ...
    const std::uint64_t begins = ~(word & ~(word << 1)) & kHighBits;
    // ... and for a four-byte lead (11110xxx or above).
    const std::uint64_t fourByteLeads = word & (word << 1) & (word << 2) & (word << 3) & kHighBits;
    // Adds up the flags of the eight bytes in the top byte.
    units += (((begins >> 7) + (fourByteLeads >> 7)) * kLowBits) >> 56;
  }
  for (; i < count; ++i) {
    units += static_cast<std::size_t>((in[i] & 0xC0u) != 0x80u) + (in[i] >= 0xF0u ? 1u : 0u);
  }
  return units;
}

// Decodes into an output sized by Utf16Length. Returns the number of code units written, or -1
// for ill-formed input.
std::ptrdiff_t Decode(const unsigned char* in, const unsigned char* end, char16_t* out) {
  char16_t* const first = out;
  while (in < end) {
    const unsigned char lead = *in;
    if (lead < 0x80) {
      // Page text is mostly ASCII markup: copy it 16 bytes at a time.
      while (end - in >= 16 && ((Load64(in) | Load64(in + 8)) & kHighBits) == 0) {
        // A local copy tells the compiler that the stores cannot change the input, so that
        // it widens all 16 bytes with vector instructions.
        unsigned char block[16];
        std::memcpy(block, in, sizeof block);
        for (int k = 0; k < 16; ++k) out[k] = block[k];
        in += 16;
        out += 16;
      }
      while (in < end && *in < 0x80) *out++ = *in++;
      continue;
    }
    const std::ptrdiff_t left = end - in;
    if (lead >= 0xE0 && lead <= 0xEF) {
      if (left < 3 || !AreContinuations(in[1], in[2])) return -1;
      const char32_t cp = ((lead & 0x0Fu) << 12) | ((in[1] & 0x3Fu) << 6) | (in[2] & 0x3Fu);
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;  // overlong, surrogate
      *out++ = static_cast<char16_t>(cp);
      in += 3;
    } else if (lead >= 0xC2 && lead <= 0xDF) {  // C0 and C1 only begin overlong forms
      if (left < 2 || !IsContinuation(in[1])) return -1;
      *out++ = static_cast<char16_t>(((lead & 0x1Fu) << 6) | (in[1] & 0x3Fu));
      in += 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      if (left < 4 || !IsContinuation(in[1]) || !AreContinuations(in[2], in[3])) return -1;
      const char32_t cp = ((lead & 0x07u) << 18) | ((in[1] & 0x3Fu) << 12) |
                          ((in[2] & 0x3Fu) << 6) | (in[3] & 0x3Fu);
      if (cp < 0x10000 || cp > 0x10FFFF) return -1;
      const char32_t offset = cp - 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
      in += 4;
    } else {
      return -1;  // stray continuation byte or F5..FF
    }
  }
  return out - first;
}

}  // namespace

std::u16string DecodeUtf8Strict(std::string_view bytes) {
  std::u16string text;
  if (bytes.empty()) return text;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  // Sized exactly: for Chinese text the output is two thirds of the input, not twice it.
  text.resize(Utf16Length(in, bytes.size()));
  const std::ptrdiff_t written = Decode(in, in + bytes.size(), text.data());
  if (written < 0 || static_cast<std::size_t>(written) != text.size()) return {};
  return text;
}

}  // namespace qelo
