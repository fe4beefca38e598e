#pragma once
// Reading one HTTP/1.1 response from a byte source: status line, header block, interim 100
// responses, the status rules and the four body framings.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "retrieval/byte_source.h"
#include "retrieval/response_buffer.h"

namespace qelo {

inline constexpr std::size_t kMaxResponseLineBytes = 16384;
inline constexpr int kMaxHeaderLines = 255;
inline constexpr std::chrono::milliseconds kRedirectBodyGrace{5000};
// Interim 100 responses skipped before the reader takes a further 100 as the final status.
inline constexpr int kMaxInterimResponses = 64;

struct HttpResponse {
  int statusCode = -1;                      // -1 when the status line holds no number
  std::u16string statusLine;                // as read: CR dropped, bytes 0x80..0xFF as U+FFFD
  std::vector<std::u16string> headerLines;  // trailer lines of a chunked body appended
  bool peerClosed = false;  // the reader saw the peer close (or reset) the connection
  // True for a final status from 200 to 299; the body then stands in the buffer.
  bool Succeeded() const { return statusCode >= 200 && statusCode <= 299; }
  // Connection or Proxy-Connection is "close" (trimmed, case ignored) or the peer closed.
  bool ConnectionEnds() const;
  // The first header line named `name` (case ignored): its trimmed value with continuation
  // lines joined by one blank; empty when absent.
  std::u16string HeaderValue(std::u16string_view name) const;
};

// Reads one response. The body of a successful response is appended to `buffer`; a body read
// for a failure status is read off the source and dropped. Throws Failure with the
// reader's messages ("Connection Closed Gracefully.", "Max line length exceeded.", "Response
// too large.") and lets the source's SocketError (see WithSocketMessages) and time-out
// failures through; whatever it throws, the buffer is left empty. Does not throw for a failure
// status: the caller decides with Succeeded() after the closing rule.
HttpResponse ReadResponse(ByteSource& source, ResponseBuffer& buffer,
                          std::chrono::milliseconds redirectBodyGrace = kRedirectBodyGrace);
// The same, filling `response` as it goes: when it throws, `response` holds what was read
// (status, header lines, peerClosed), so that the caller can apply the closing rule.
void ReadResponse(ByteSource& source, ResponseBuffer& buffer, HttpResponse& response,
                  std::chrono::milliseconds redirectBodyGrace = kRedirectBodyGrace);

}  // namespace qelo
