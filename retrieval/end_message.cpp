#include "retrieval/end_message.h"

#include <algorithm>
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

}  // namespace qelo
