#include "retrieval/line_reader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {
namespace {

using platform::SocketEnd;

struct SocketErrorText {
  int code;
  std::u16string_view text;
};

constexpr SocketErrorText kSocketErrorTexts[] = {
    {10004, u"Interrupted system call."},
    {10009, u"Bad file number."},
    {10013, u"Access denied."},
    {10014, u"Buffer fault."},
    {10022, u"Invalid argument."},
    {10024, u"Too many open files."},
    {10035, u"Operation would block."},
    {10036, u"Operation now in progress."},
    {10037, u"Operation already in progress."},
    {10038, u"Socket operation on non-socket."},
    {10039, u"Destination address required."},
    {10040, u"Message too long."},
    {10041, u"Protocol wrong type for socket."},
    {10042, u"Bad protocol option."},
    {10043, u"Protocol not supported."},
    {10044, u"Socket type not supported."},
    {10045, u"Operation not supported on socket."},
    {10046, u"Protocol family not supported."},
    {10047, u"Address family not supported by protocol family."},
    {10048, u"Address already in use."},
    {10049, u"Cannot assign requested address."},
    {10050, u"Network is down."},
    {10051, u"Network is unreachable."},
    {10052, u"Net dropped connection or reset."},
    {10053, u"Software caused connection abort."},
    {10054, u"Connection reset by peer."},
    {10055, u"No buffer space available."},
    {10056, u"Socket is already connected."},
    {10057, u"Socket is not connected."},
    {10058, u"Cannot send or receive after socket is closed."},
    {10059, u"Too many references, cannot splice."},
    {10060, u"Connection timed out."},
    {10061, u"Connection refused."},
    {10062, u"Too many levels of symbolic links."},
    {10063, u"File name too long."},
    {10064, u"Host is down."},
    {10065, u"No route to host."},
    {10066, u"Directory not empty"},
    {11001, u"Host not found."},
};

std::u16string_view TextOf(int code) {
  const auto found = std::ranges::find(kSocketErrorTexts, code, &SocketErrorText::code);
  return found == std::end(kSocketErrorTexts) ? std::u16string_view() : found->text;
}

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

std::u16string EndMessage(const SocketEnd& end) {
  switch (end.kind) {
    case SocketEnd::kClosed:
      return messages::kConnectionClosedGracefully;
    case SocketEnd::kTimedOut:
      return messages::kReadTimedOut;
    case SocketEnd::kNone:
    case SocketEnd::kFailed:
      break;
  }
  const std::string digits = std::to_string(end.code);
  std::u16string message = u"Socket Error # ";
  message.append(digits.begin(), digits.end());
  message += u"\r\n";
  message += TextOf(end.code);
  return message;
}

void ThrowEnd(const SocketEnd& end) { throw Failure(EndMessage(end)); }

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
