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
  // Appends body bytes; throws Failure(u"Response too large.") when the buffer would
  // grow past its limit, and then appends nothing.
  void Append(const std::uint8_t* bytes, std::size_t count);
  // Makes room for `bytes` more bytes at once (never beyond the limit), so that a body of
  // known length is neither copied nor faulted in twice while it grows.
  void Reserve(std::size_t bytes);
  std::size_t Room() const { return maxBytes_ - bytes_.size(); }
  // Appends the bytes `fill(into, most)` writes straight into the buffer's end and returns how
  // many it wrote (at most `most`, which must not exceed Room()). If `fill` throws, the buffer
  // is as it was.
  template <typename Fill>
  std::size_t AppendInPlace(std::size_t most, Fill&& fill);
  // Gives back reserved space the bytes did not fill when it exceeds what they take, as after a
  // body that ended well short of its announced length.
  void ReleaseSpare();
  void Clear();
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::uint32_t CodePage() const { return codePage_; }
  // All bytes decoded strictly as UTF-8; the empty text when they are not well-formed. Never fails.
  std::u16string Text() const;

 private:
  // Capacity for `needed` bytes: at least doubling, from 64 KiB, never beyond the limit.
  void GrowFor(std::size_t needed);

  std::uint32_t codePage_;
  std::size_t maxBytes_;
  std::vector<std::uint8_t> bytes_;
};

template <typename Fill>
std::size_t ResponseBuffer::AppendInPlace(std::size_t most, Fill&& fill) {
  const std::size_t before = bytes_.size();
  GrowFor(before + most);
  bytes_.resize(before + most);
  std::size_t written = 0;
  try {
    written = fill(bytes_.data() + before, most);
  } catch (...) {
    bytes_.resize(before);
    throw;
  }
  bytes_.resize(before + written);
  return written;
}

}  // namespace qelo
