#include "retrieval/response_buffer.h"

#include <algorithm>
#include <string_view>

#include "core/failure.h"
#include "core/messages.h"
#include "core/text.h"

namespace qelo {

ResponseBuffer::ResponseBuffer(std::uint32_t codePage, std::size_t maxBytes)
    : codePage_(codePage), maxBytes_(maxBytes) {}

void ResponseBuffer::Append(const std::uint8_t* bytes, std::size_t count, std::uint64_t announced) {
  if (count > maxBytes_ - bytes_.size()) throw Failure(messages::kResponseTooLarge);
  const std::size_t needed = bytes_.size() + count;
  if (needed > bytes_.capacity()) {
    const std::uint64_t grown = std::max<std::uint64_t>({needed, 2 * bytes_.capacity(), announced});
    bytes_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(grown, maxBytes_)));
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
