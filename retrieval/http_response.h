#pragma once
// Reading one HTTP/1.1 response from a byte source: the status line, the header lines and their
// fields, interim 100 responses, the status rules and the body framings.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket.h"
#include "retrieval/response_buffer.h"

namespace qelo {

inline constexpr std::size_t kMaxResponseLineBytes = 16384;
inline constexpr int kMaxHeaderLines = 255;
inline constexpr std::chrono::milliseconds kRedirectBodyGrace{5000};
// Interim 100 responses skipped before the reader takes a further 100 as the final status.
inline constexpr int kMaxInterimResponses = 64;
// The reader's block: the most bytes one read of the source is asked for.
inline constexpr std::size_t kReceiveBlockBytes = 32768;

// The stream the response reader takes: the fetch's socket, or bytes in the tests.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Waits until at least one byte or the end of the connection is at hand and copies at most
  // `capacity` bytes into `into`: their count, or how the connection ended (the peer's close, a
  // wait that ran out, or a failure with its socket code, a reset among them).
  virtual platform::Received Read(std::uint8_t* into, std::size_t capacity) = 0;
  // True when a byte or the end of the connection is at hand within `wait`.
  virtual bool WaitReadable(std::chrono::milliseconds wait) = 0;
};

struct HttpResponse {
  int statusCode = -1;                      // -1 when the status line holds no number
  std::u16string statusLine;                // as read: CR dropped, bytes 0x80..0xFF as U+FFFD
  std::vector<std::u16string> headerLines;  // trailer lines of a chunked body appended
  bool peerClosed = false;                  // the reader saw the peer close the connection
  // True for a final status from 200 to 299; the body then stands in the buffer.
  bool Succeeded() const { return statusCode >= 200 && statusCode <= 299; }
  // Connection or Proxy-Connection is "close" (trimmed, case ignored) or the peer closed.
  bool ConnectionEnds() const;
  // The first header line named `name` (case ignored): its trimmed value with continuation
  // lines joined by one blank; empty when absent.
  std::u16string HeaderValue(std::u16string_view name) const;
};

// Reads one response. The body of a successful response is appended to `buffer`; a body read
// for a failure status is read off the source and dropped. A body framed by Content-Length
// must arrive whole, and one framed by the close must end with an orderly close: a body cut
// short fails, as a close or as the reset, never as a shorter page. Throws Failure with the
// fetch's messages, and then leaves the buffer empty. Does not throw for a failure status: the
// caller decides with Succeeded().
HttpResponse ReadResponse(ByteSource& source, ResponseBuffer& buffer);

}  // namespace qelo
