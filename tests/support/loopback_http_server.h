#pragma once
// The one HTTP server on 127.0.0.1 of the tests, the benchmarks and the forecast-site emulator.
// It serves each connection on a thread of its own with a handler that reads and writes through
// a LoopbackConnection; the scripted servers of the fetch tests and the emulator's replies are
// such handlers. Every wait is bounded, and a stopped server ends the waits of its connections.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/loopback_socket.h"

namespace qelo::test {

using namespace std::chrono_literals;

class LoopbackConnection {
 public:
  LoopbackConnection(PeerSocket socket, const std::atomic<bool>& stopping)
      : socket_(std::move(socket)), stopping_(stopping) {}

  // Reads until `done()`, the client's close, the server's stop or the end of `wait`.
  void ReadUntil(std::chrono::milliseconds wait, const std::function<bool()>& done);
  // The next request head (up to its blank line, CR LF CR LF or LF LF) within `wait`; bytes after
  // it stay for the next one. None when the client closed, the wait ran out or the head grew past
  // 16 KiB.
  std::optional<std::string> NextRequestHead(std::chrono::milliseconds wait);
  // Sends every byte, reading what the client sends meanwhile; false once the client is gone,
  // the server stops, or after 30 s.
  bool Send(std::string_view bytes);
  // Ends our side with a FIN and reads until the client closes (at most 2 s): closing with
  // unread bytes would reset the connection instead of closing it in order.
  void CloseInOrder();
  void Reset() { ResetConnection(socket_); }

  const std::string& Received() const { return received_; }
  bool ClientGone() const { return gone_; }
  bool Stopping() const { return stopping_.load(); }
  // Called after each change of Received() or ClientGone().
  std::function<void()> onChange = [] {};

 private:
  void Receive(std::chrono::milliseconds wait);
  void MarkGone();

  PeerSocket socket_;
  const std::atomic<bool>& stopping_;
  std::string received_;
  std::size_t headsTaken_ = 0;  // where NextRequestHead looks for the next head
  bool gone_ = false;
};

class LoopbackHttpServer {
 public:
  using Handler = std::function<void(LoopbackConnection&)>;
  // Binds 127.0.0.1:port (0 picks a free port) and listens; throws std::runtime_error.
  explicit LoopbackHttpServer(int port = 0) : listener_(port) {}
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::uint16_t Port() const { return listener_.Port(); }
  // Serves each connection with `handler` until Stop(), the deadline, or `connections` accepted
  // connections (0: no count), closes what a handler left open, and returns once every handler
  // has. A stop or the deadline ends the waits of the handlers still running.
  void Serve(const Handler& handler, std::chrono::steady_clock::time_point deadline,
             long connections = 0);
  // From any thread, also from a handler.
  void Stop() { stopping_ = true; }

 private:
  platform::SocketLibrary library_;
  LoopbackListener listener_;
  std::atomic<bool> stopping_{false};
};

}  // namespace qelo::test
