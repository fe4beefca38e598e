// The response reader fed from bytes. The first bytes of the input set up the run, the rest is
// what the server sends:
//   byte 0: bits 0-2 pick the response buffer's cap, bits 3-4 how the script ends (close, reset,
//           another socket error, a read time-out), bit 5 what WaitReadable answers
//   bytes 1-4: the sizes of the Read() chunks, used in turn (0 means: everything that is left)
// Checked: only platform::Failure escapes and its message is one the reader gives; the buffer
// never holds more than its cap nor anything after a failure or for a failure status; lines hold
// no line feed, no more than 16384 bytes, and only ASCII or U+FFFD; the reader stops reading once
// it has seen the end.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/failure.h"
#include "platform/socket_error.h"
#include "retrieval/byte_source.h"
#include "retrieval/http_response.h"
#include "retrieval/response_buffer.h"

namespace {

constexpr std::size_t kCaps[] = {0, 1, 5, 64, 1000, 4096, 70000, qelo::kMaxResponseBytes};
constexpr std::size_t kSetupBytes = 5;

enum class Ending { kClose, kReset, kOtherError, kTimeOut };

class FuzzByteSource : public qelo::ByteSource {
 public:
  FuzzByteSource(const std::uint8_t* data, std::size_t size, const std::uint8_t* chunkSizes,
                 Ending ending, bool readable)
      : data_(data), size_(size), chunkSizes_(chunkSizes), ending_(ending), readable_(readable) {}

  std::size_t Read(std::uint8_t* into, std::size_t capacity) override {
    if (capacity == 0) std::abort();  // a read that cannot take anything would spin
    if (offset_ == size_) return End();
    std::size_t chunk = chunkSizes_[nextChunk_++ % 4];
    if (chunk == 0) chunk = size_ - offset_;
    chunk = std::min({chunk, capacity, size_ - offset_});
    std::copy(data_ + offset_, data_ + offset_ + chunk, into);
    offset_ += chunk;
    return chunk;
  }

  bool WaitReadable(std::chrono::milliseconds) override { return offset_ < size_ || readable_; }

 private:
  std::size_t End() {
    // A reader that keeps reading after the end would never finish against a real peer.
    if (++readsAtEnd_ > 3) std::abort();
    switch (ending_) {
      case Ending::kClose:
        return 0;
      case Ending::kReset:
        throw qelo::platform::SocketError(qelo::platform::kWsaConnectionReset);
      case Ending::kOtherError:
        throw qelo::platform::SocketError(10060);
      case Ending::kTimeOut:
        throw qelo::platform::Failure(u"Read timed out.");
    }
    return 0;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  const std::uint8_t* chunkSizes_;
  Ending ending_;
  bool readable_;
  std::size_t offset_ = 0;
  std::size_t nextChunk_ = 0;
  int readsAtEnd_ = 0;
};

bool StartsWith(const std::u16string& text, std::u16string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsReaderMessage(const std::u16string& message) {
  return message == u"Connection Closed Gracefully." || message == u"Max line length exceeded." ||
         message == u"Response too large." || message == u"Read timed out." ||
         StartsWith(message, u"Socket Error # ");
}

void CheckLine(const std::u16string& line) {
  if (line.size() > qelo::kMaxResponseLineBytes) std::abort();
  for (const char16_t c : line) {
    if (c == u'\n' || (c >= 0x80 && c != 0xFFFD)) std::abort();
  }
}

void CheckResponse(const qelo::HttpResponse& response) {
  CheckLine(response.statusLine);
  // The head's 255 lines plus at most 255 of a trailer.
  if (response.headerLines.size() > 2 * static_cast<std::size_t>(qelo::kMaxHeaderLines)) {
    std::abort();
  }
  for (const auto& line : response.headerLines) CheckLine(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kSetupBytes) return 0;
  const std::size_t cap = kCaps[data[0] & 7];
  const auto ending = static_cast<Ending>((data[0] >> 3) & 3);
  const bool readable = (data[0] >> 5) & 1;
  const std::uint8_t* payload = data + kSetupBytes;
  const std::size_t payloadSize = size - kSetupBytes;

  FuzzByteSource source(payload, payloadSize, data + 1, ending, readable);
  qelo::ResponseBuffer buffer(qelo::kCodePageUtf8, cap);
  qelo::HttpResponse response;
  bool failed = false;
  try {
    qelo::ReadResponse(source, buffer, response, std::chrono::milliseconds(0));
  } catch (const qelo::platform::Failure& failure) {
    if (!IsReaderMessage(failure.Message())) std::abort();
    failed = true;
  }
  CheckResponse(response);
  if (buffer.Bytes().size() > cap || buffer.Bytes().size() > payloadSize) std::abort();
  if ((failed || !response.Succeeded()) && !buffer.Bytes().empty()) std::abort();
  (void)response.ConnectionEnds();
  (void)buffer.Text();
  return 0;
}
