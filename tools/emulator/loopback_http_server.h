#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for the forecast-site emulator: one thread per connection,
// a bounded request head, bounded waits, and an end by itself (deadline or request count).

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qelo::emulator {

struct Request {
  std::string method;
  std::string target;
  std::string head;  // the request line and header lines as received, blank line included
};

struct Reply {
  std::vector<std::string> pieces;  // written one after another
  std::chrono::milliseconds pauseBetweenPieces{0};
  bool keepAlive = false;  // wait for a further request on the connection afterwards
  // Written after the pieces; shared, so that a large body is not copied for every request.
  std::shared_ptr<const std::string> sharedBody;
};

using RequestHandler = std::function<Reply(const Request&)>;

struct ServeLimits {
  std::chrono::steady_clock::time_point deadline;
  long maxRequests = 0;        // 0: no limit; a connection closed at once counts as one
  bool closeOnAccept = false;  // close every connection at once, before reading anything
};

class LoopbackHttpServer {
 public:
  // Binds 127.0.0.1:port (0 picks a free port) and listens; throws std::runtime_error.
  explicit LoopbackHttpServer(int port);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  int Port() const { return port_; }
  // Answers requests until the deadline or the request count is reached, then waits for the
  // connections in progress (boundedly) and returns.
  void Serve(const RequestHandler& handler, const ServeLimits& limits);

 private:
  int listenFd_ = -1;
  int port_ = 0;
};

}  // namespace qelo::emulator
