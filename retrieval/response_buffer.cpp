#include "retrieval/response_buffer.h"

#include <algorithm>
#include <string_view>

#include "core/failure.h"
#include "core/messages.h"
#include "core/text.h"

namespace qelo {

ResponseBuffer::ResponseBuffer(std::uint32_t codePage, std::size_t maxBytes)
    : codePage_(codePage), maxBytes_(maxBytes) {}

void ResponseBuffer::Append(const std::uint8_t* bytes, std::size_t count) {
  if (count > maxBytes_ - bytes_.size()) throw Failure(messages::kResponseTooLarge);
  GrowFor(bytes_.size() + count);
  bytes_.insert(bytes_.end(), bytes, bytes + count);
}

void ResponseBuffer::Reserve(std::size_t bytes) {
  bytes_.reserve(bytes_.size() + std::min(bytes, Room()));
}

void ResponseBuffer::ReleaseSpare() {
  if (bytes_.capacity() - bytes_.size() > bytes_.size()) bytes_.shrink_to_fit();
}

void ResponseBuffer::GrowFor(std::size_t needed) {
  constexpr std::size_t kFirstBlock = std::size_t{64} * 1024u;
  if (needed <= bytes_.capacity()) return;
  const std::size_t grown = std::max({needed, 2 * bytes_.capacity(), kFirstBlock});
  bytes_.reserve(std::min(grown, maxBytes_));
}

void ResponseBuffer::Clear() { std::vector<std::uint8_t>().swap(bytes_); }

std::u16string ResponseBuffer::Text() const {
  // UTF-8 is the only code page the program creates a buffer with.
  if (codePage_ != kCodePageUtf8) return {};
  return DecodeUtf8Strict(
      std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

}  // namespace qelo
