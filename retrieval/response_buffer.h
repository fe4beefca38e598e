#pragma once
// The response buffer: the body bytes of a successful fetch and their text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qelo {

inline constexpr std::uint32_t kCodePageUtf8 = 65001;
// A body that would grow the buffer past this fails the fetch: memory stays bounded whatever
// the server sends.
// NOLINTNEXTLINE(bugprone-implicit-widening-of-multiplication-result): 16 MiB fits in 32 bits.
inline constexpr std::size_t kMaxResponseBytes = 16u * 1024u * 1024u;

class ResponseBuffer {
 public:
  // The program passes only 65001.
  explicit ResponseBuffer(std::uint32_t codePage, std::size_t maxBytes = kMaxResponseBytes);
  // Appends body bytes; throws Failure(u"Response too large.") when the buffer would grow past
  // its limit, and then appends nothing. The buffer grows by doubling, never beyond the limit, so
  // that it holds no more spare memory than the bytes it has filled; only a body's `announced`
  // length (0: none) is reserved whole at once, as fresh memory that a growing buffer would
  // copy and fault in twice costs a 16 MiB body most of its time.
  void Append(const std::uint8_t* bytes, std::size_t count, std::uint64_t announced = 0);
  void Clear();
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // All bytes decoded strictly as UTF-8; the empty text when they are not well-formed. Never fails.
  std::u16string Text() const;

 private:
  std::uint32_t codePage_;
  std::size_t maxBytes_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace qelo
