#include "retrieval/line_reader.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"
#include "core/messages.h"
#include "platform/socket_error.h"

namespace qelo {
namespace {

bool IsResetOrAbort(int code) {
  return code == platform::kWsaConnectionAborted || code == platform::kWsaConnectionReset ||
         code == platform::kWsaShutdown;
}

std::u16string LineText(const std::string& bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    text[i] = byte < 0x80 ? char16_t(byte) : char16_t(0xFFFD);
  }
  return text;
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t maxLineBytes)
    : source_(source), maxLineBytes_(maxLineBytes) {}

bool LineReader::Fill(ResetMeans reset) {
  if (peerClosed_) return false;
  begin_ = end_ = 0;
  end_ = Receive(block_.data(), block_.size(), reset);
  return end_ > 0;
}

std::size_t LineReader::Receive(std::uint8_t* into, std::size_t capacity, ResetMeans reset) {
  std::size_t received = 0;
  try {
    received = source_.Read(into, capacity);
  } catch (const platform::SocketError& error) {
    if (!IsResetOrAbort(error.Code())) throw;
    peerClosed_ = true;
    if (reset == ResetMeans::kSocketMessage) throw;
    if (reset == ResetMeans::kGracefulClose) {
      throw Failure(messages::kConnectionClosedGracefully);
    }
    return 0;
  }
  if (received == 0) peerClosed_ = true;
  return received;
}

std::optional<std::u16string> LineReader::ReadLine() {
  std::string line;
  for (;;) {
    if (!HasBufferedBytes()) {
      const ResetMeans reset =
          line.empty() ? ResetMeans::kSocketMessage : ResetMeans::kGracefulClose;
      if (!Fill(reset)) return std::nullopt;
    }
    const auto* from = block_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* lf = static_cast<const std::uint8_t*>(std::memchr(from, '\n', available));
    const std::size_t taken = lf ? static_cast<std::size_t>(lf - from) : available;
    if (line.size() + taken > maxLineBytes_) {
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

bool LineReader::AwaitByte(std::chrono::milliseconds wait) {
  if (HasBufferedBytes()) return true;
  if (peerClosed_ || !source_.WaitReadable(wait)) return false;
  return Fill(ResetMeans::kClose);
}

std::span<const std::uint8_t> LineReader::ReadBody(std::size_t most) {
  if (!HasBufferedBytes() && !Fill(ResetMeans::kClose)) return {};
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
  if (peerClosed_) return 0;
  const std::size_t wanted = std::min({most, buffer.Room(), kReceiveBlockBytes});
  return buffer.AppendInPlace(wanted, [this](std::uint8_t* into, std::size_t capacity) {
    return Receive(into, capacity, ResetMeans::kClose);
  });
}

}  // namespace qelo
