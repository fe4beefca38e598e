#include "retrieval/response_buffer.h"

#include <algorithm>
#include <string_view>

#include "platform/failure.h"
#include "retrieval/utf8.h"

namespace qelo {

ResponseBuffer::ResponseBuffer(std::uint32_t codePage, std::size_t maxBytes)
    : codePage_(codePage), maxBytes_(maxBytes) {}

void ResponseBuffer::Append(const std::uint8_t* bytes, std::size_t count) {
  if (count > maxBytes_ - bytes_.size()) {
    std::vector<std::uint8_t>().swap(bytes_);
    throw platform::Failure(u"Response too large.");
  }
  const std::size_t needed = bytes_.size() + count;
  if (needed > bytes_.capacity()) {
    // Grow by doubling, but never reserve beyond the limit.
    bytes_.reserve(std::min(std::max(needed, 2 * bytes_.capacity()), maxBytes_));
  }
  bytes_.insert(bytes_.end(), bytes, bytes + count);
}

void ResponseBuffer::Clear() { std::vector<std::uint8_t>().swap(bytes_); }

std::u16string ResponseBuffer::Text() const {
  // UTF-8 is the only code page the program creates a buffer with.
  if (codePage_ != kCodePageUtf8) return {};
  return DecodeUtf8Strict(
      std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

}  // namespace qelo
