#pragma once
// The HTTP client of the main window: one GET of the forecast page per fetch over its own
// TCP connection.

#include <chrono>
#include <memory>
#include <string>

#include "core/failure.h"
#include "retrieval/response_buffer.h"

namespace qelo {

// Bounds on every wait, so that a fetch always ends before the watchdog would.
inline constexpr std::chrono::milliseconds kConnectTimeout{30000};
inline constexpr std::chrono::milliseconds kReadWaitTimeout{60000};
inline constexpr std::chrono::milliseconds kExchangeTimeout{240000};

struct FetchLimits {
  std::chrono::milliseconds connect = kConnectTimeout;
  std::chrono::milliseconds eachWait = kReadWaitTimeout;
  std::chrono::milliseconds exchange = kExchangeTimeout;
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

class HttpClient {
 public:
  // Starts the socket library (WSAStartup 2.2 on Windows); connects nothing yet.
  explicit HttpClient(FetchLimits limits = {});
  ~HttpClient();  // closes a connection that the last exchange left open
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Sends one GET for `address` ("http://host[:port]/path/document") and reads the response;
  // the body of a 2xx response ends up in `buffer`. Throws Failure (HttpStatusFailure
  // for a failure status) with the fetch's messages.
  void FetchPage(const std::u16string& address, ResponseBuffer& buffer);

 private:
  struct Connection;
  FetchLimits limits_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace qelo
