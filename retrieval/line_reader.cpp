#include "retrieval/line_reader.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/socket.h"

namespace qelo {
namespace {

std::u16string LineText(const std::string& bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    text[i] = byte < 0x80 ? char16_t(byte) : char16_t(0xFFFD);
  }
  return text;
}

}  // namespace

void ThrowClosed() { throw Failure(messages::kConnectionClosedGracefully); }

std::optional<std::u16string> LineReader::ReadLine() {
  std::string line;
  for (;;) {
    if (!HasBufferedBytes() && !Fill()) {
      if (resetCode_ == 0) return std::nullopt;
      if (line.empty()) FailAtEnd();
      ThrowClosed();
    }
    const auto* from = block_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* lf = static_cast<const std::uint8_t*>(std::memchr(from, '\n', available));
    const std::size_t taken = lf ? static_cast<std::size_t>(lf - from) : available;
    if (line.size() + taken > kMaxResponseLineBytes) {
      throw Failure(messages::kMaxLineLengthExceeded);
    }
    line.append(reinterpret_cast<const char*>(from), taken);
    if (lf) {
      begin_ += taken + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return LineText(line);
    }
    begin_ = end_;
  }
}

std::span<const std::uint8_t> LineReader::ReadBody(std::size_t most) {
  if (!HasBufferedBytes() && !Fill()) return {};
  const std::size_t taken = std::min(most, end_ - begin_);
  const std::span<const std::uint8_t> bytes(block_.data() + begin_, taken);
  begin_ += taken;
  return bytes;
}

std::size_t LineReader::ReadBodyInto(ResponseBuffer& buffer, std::size_t most) {
  // With the limit reached, a read through the block tells whether another byte comes, which
  // Append then refuses.
  if (HasBufferedBytes() || buffer.Room() == 0) {
    const auto bytes = ReadBody(most);
    buffer.Append(bytes.data(), bytes.size());
    return bytes.size();
  }
  if (ended_) return 0;
  const std::size_t wanted = std::min({most, buffer.Room(), kReceiveBlockBytes});
  return buffer.AppendInPlace(
      wanted, [this](std::uint8_t* into, std::size_t capacity) { return Receive(into, capacity); });
}

bool LineReader::AwaitByte(std::chrono::milliseconds wait) {
  if (HasBufferedBytes()) return true;
  return !ended_ && source_.WaitReadable(wait) && Fill();
}

void LineReader::FailAtEnd() const {
  if (resetCode_ != 0) throw platform::SocketError(resetCode_);
  ThrowClosed();
}

bool LineReader::Fill() {
  if (ended_) return false;
  begin_ = end_ = 0;
  end_ = Receive(block_.data(), block_.size());
  return end_ > 0;
}

std::size_t LineReader::Receive(std::uint8_t* into, std::size_t capacity) {
  const Received received = source_.Read(into, capacity);
  if (received.count == 0) {
    ended_ = true;
    resetCode_ = received.resetCode;
  }
  return received.count;
}

}  // namespace qelo
