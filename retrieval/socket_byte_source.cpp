#include "retrieval/socket_byte_source.h"

#include <algorithm>

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

SocketByteSource::SocketByteSource(platform::Socket& socket, std::chrono::milliseconds eachWait,
                                   Clock::time_point deadline)
    : socket_(socket), eachWait_(eachWait), deadline_(deadline) {}

std::chrono::milliseconds SocketByteSource::Left() const {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
  return std::max(left, std::chrono::milliseconds{0});
}

std::size_t SocketByteSource::Read(std::uint8_t* into, std::size_t capacity) {
  const auto left = Left();
  const auto received = left.count() == 0
                            ? std::nullopt
                            : socket_.ReceiveWithin(into, capacity, std::min(eachWait_, left));
  if (!received) throw Failure(messages::kReadTimedOut);
  return *received;
}

bool SocketByteSource::WaitReadable(std::chrono::milliseconds wait) {
  return socket_.WaitReadable(std::min(wait, Left()));
}

}  // namespace qelo
