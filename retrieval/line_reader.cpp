#include "retrieval/line_reader.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {
namespace {

using platform::SocketEnd;

// A reset or an abort by the peer, or a shutdown, ends the connection as the peer's close does:
// the reader may take it or fail at it. Any other failure, and a timeout, fails the read at once.
bool EndsConnection(const SocketEnd& end) {
  return end.kind == SocketEnd::kClosed ||
         (end.kind == SocketEnd::kFailed &&
          (end.code == platform::kWsaConnectionAborted ||
           end.code == platform::kWsaConnectionReset || end.code == platform::kWsaShutdown));
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

std::optional<std::u16string> LineReader::ReadLine() {
  std::string line;
  for (;;) {
    if (!HasBufferedBytes() && !Fill()) {
      if (!EndedByReset()) return std::nullopt;
      if (line.empty()) FailAtEnd();
      ThrowEnd(kPeerClosed);
    }
    const auto* from = block_.data() + begin_;
    const std::size_t available = filled_ - begin_;
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
    begin_ = filled_;
  }
}

std::span<const std::uint8_t> LineReader::ReadBody(std::size_t most) {
  if (!HasBufferedBytes() && !Fill()) return {};
  const std::size_t taken = std::min(most, filled_ - begin_);
  const std::span<const std::uint8_t> bytes(block_.data() + begin_, taken);
  begin_ += taken;
  return bytes;
}

bool LineReader::AwaitByte(std::chrono::milliseconds wait) {
  if (HasBufferedBytes()) return true;
  return !Ended() && source_.WaitReadable(wait) && Fill();
}

bool LineReader::Fill() {
  if (Ended()) return false;
  begin_ = filled_ = 0;
  const platform::Received received = source_.Read(block_.data(), block_.size());
  if (received.count > 0) {
    filled_ = received.count;
    return true;
  }
  if (!EndsConnection(received.end)) ThrowEnd(received.end);
  end_ = received.end;
  return false;
}

}  // namespace qelo
