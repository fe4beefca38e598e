#pragma once
// Reading one HTTP/1.1 response from a byte source: the status line, the header lines and their
// fields, interim 100 responses, the status rules and the body framings.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/response_buffer.h"

namespace qelo {

inline constexpr std::size_t kMaxResponseLineBytes = 16384;
inline constexpr int kMaxHeaderLines = 255;
inline constexpr std::chrono::milliseconds kRedirectBodyGrace{5000};
// Interim 100 responses skipped before the reader takes a further 100 as the final status.
inline constexpr int kMaxInterimResponses = 64;
// The most bytes one read of the source is asked for: what one receive of the socket takes.
inline constexpr std::size_t kReceiveBlockBytes = 32768;

// Why a fetch ended without its response: thrown by the byte source and the response reader,
// turned into the run's message by the client (FetchFailureMessage).
struct FetchFault : std::exception {
  enum class Kind {
    kClosed,           // the peer closed the connection where the response goes on
    kBroken,           // the peer reset or aborted the connection (code 10053, 10054 or 10058)
    kSocketError,      // any other failure of the socket layer, with its code
    kConnectTimedOut,  // the connection was not made in time
    kReadTimedOut,     // no byte came in time
    kLineTooLong,      // a response line of more than kMaxResponseLineBytes before its LF
  };
  explicit FetchFault(Kind why, int socketCode = 0) : kind(why), code(socketCode) {}
  const char* what() const noexcept override { return "fetch fault"; }

  Kind kind;
  int code;  // the socket layer's code for kBroken and kSocketError
};

// The stream the response reader takes: the fetch's socket, or bytes in the tests.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Blocks until at least one byte is at hand and copies at most `capacity` bytes into `into`;
  // returns 0 once the peer has closed in order. Throws FetchFault (kBroken, kSocketError,
  // kReadTimedOut).
  virtual std::size_t Read(std::uint8_t* into, std::size_t capacity) = 0;
  // True when a byte or the peer's close is at hand within `wait`; throws as Read.
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
// short is a FetchFault, never a shorter page. Throws FetchFault and the buffer's Failure
// ("Response too large."); whatever it throws, the buffer is left empty. Does not throw for a
// failure status: the caller decides with Succeeded().
HttpResponse ReadResponse(ByteSource& source, ResponseBuffer& buffer);

}  // namespace qelo
