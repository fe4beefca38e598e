#pragma once
// The HTTP client of the main window: one GET of the forecast page per fetch over its own TCP
// connection, within bounds on every wait.

#include <chrono>
#include <cstdint>
#include <string>

#include "core/failure.h"
#include "platform/socket.h"
#include "retrieval/response_buffer.h"

namespace qelo {

// Bounds on every wait, so that a fetch always ends before the watchdog would.
inline constexpr std::chrono::milliseconds kConnectTimeout{30000};
inline constexpr std::chrono::milliseconds kReadWaitTimeout{60000};
inline constexpr std::chrono::milliseconds kExchangeTimeout{240000};

struct FetchLimits {
  std::chrono::milliseconds connect = kConnectTimeout;
  std::chrono::milliseconds eachWait = kReadWaitTimeout;  // for data to read or room to send
  std::chrono::milliseconds exchange = kExchangeTimeout;  // from the connect to the last byte
};

// A final status other than 200 to 299: the message is the status line as read.
class HttpStatusFailure : public Failure {
 public:
  HttpStatusFailure(std::u16string statusLine, int statusCode)
      : Failure(std::move(statusLine)), statusCode_(statusCode) {}
  int StatusCode() const noexcept { return statusCode_; }

 private:
  int statusCode_;
};

// The page fetch of the main window's HTTP client component.
class PageFetcher {
 public:
  virtual ~PageFetcher() = default;
  // Sends one GET for `address` ("http://host[:port]/path/document") and reads the response;
  // the body of a 2xx response ends up in `buffer`, which holds nothing after a failure.
  // Throws Failure (HttpStatusFailure for a failure status) with the fetch's messages.
  virtual void FetchPage(const std::u16string& address, ResponseBuffer& buffer) = 0;
};

// The fetch over the system's sockets.
class HttpClient final : public PageFetcher {
 public:
  // Starts the socket library (WSAStartup 2.2 on Windows), failing with its code; connects
  // nothing yet.
  explicit HttpClient(FetchLimits limits = {});

  void FetchPage(const std::u16string& address, ResponseBuffer& buffer) override;

 private:
  FetchLimits limits_;
  platform::SocketLibrary library_;
  // The connection the last exchange left open; closed before the library is cleaned up.
  platform::Socket idle_;
};

inline constexpr std::uint16_t kDefaultHttpPort = 80;

struct PageAddress {
  std::u16string host;  // between "://" and the next "/" (or ":port"), as written
  std::uint16_t port = kDefaultHttpPort;
  std::u16string hostHeader;  // the host, or "host:port" as written when a port is given
  std::u16string target;      // from the "/" after the host to the end; "/" when there is none
};

// The scheme before "://" must be "http" in any case of letters, else
// Failure(messages::kNotHttpAddress). An empty host, or a port that is not a decimal number from 1
// to 65535, gives Failure(messages::kMalformedAddress).
PageAddress ParsePageAddress(const std::u16string& address);

// Parses exactly four dot-separated decimal numbers from 0 to 255; false for anything else.
bool ParseDottedQuad(const std::u16string& text, platform::Ipv4Address& address);

// "GET <target> HTTP/1.1", Host, Accept, Accept-Encoding: identity, User-Agent and the empty
// line, each ending with CR LF. Every UTF-16 code unit becomes one byte; one outside ASCII goes
// out as "?".
std::string BuildRequestHead(const PageAddress& page);

}  // namespace qelo
