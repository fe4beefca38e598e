#pragma once
// A scripted HTTP peer on 127.0.0.1 for tests and benchmarks: the loopback server on a thread of
// its own, serving each connection with the same script of steps and recording what each client
// sent and whether it closed. Every wait is bounded; the destructor stops the server and joins.
//
//   ScriptServer server({Step::AwaitRequest(), Step::Send("HTTP/1.1 200 OK\r\n..."),
//   Step::Close()}); client.FetchPage(server.Address(), buffer);
//   EXPECT_EQ(server.Record(0).received, expectedHead);

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_http_server.h"

namespace qelo::test {

struct Step {
  enum class Kind { kSend, kFlood, kPause, kAwaitRequest, kHoldOpen, kClose, kReset };
  Kind kind;
  std::string bytes;                  // kSend, kFlood (the piece sent over and over)
  std::size_t limit = 0;              // kFlood: stop after this many bytes
  std::chrono::milliseconds time{0};  // kPause: its length; kAwaitRequest, kHoldOpen: bound

  static Step Send(std::string bytes) { return {Kind::kSend, std::move(bytes)}; }
  // Sends `piece` again and again until `limit` bytes went out or the client is gone.
  static Step Flood(std::string piece, std::size_t limit) {
    return {Kind::kFlood, std::move(piece), limit};
  }
  // Waits, reading and recording what the client sends meanwhile.
  static Step Pause(std::chrono::milliseconds time) { return {Kind::kPause, {}, 0, time}; }
  // Reads until the client's request head (up to its empty line) has arrived.
  static Step AwaitRequest(std::chrono::milliseconds bound = 5s) {
    return {Kind::kAwaitRequest, {}, 0, bound};
  }
  // Keeps the connection open, reading, until the client closes it.
  static Step HoldOpen(std::chrono::milliseconds bound = 5s) {
    return {Kind::kHoldOpen, {}, 0, bound};
  }
  // Closes in order (LoopbackConnection::CloseInOrder).
  static Step Close() { return {Kind::kClose, {}}; }
  // Ends the connection with a reset.
  static Step Reset() { return {Kind::kReset, {}}; }
};

struct ConnectionRecord {
  std::string received;       // every byte the client sent
  bool clientClosed = false;  // the client closed (or reset) its side
  std::chrono::steady_clock::time_point acceptedAt;
  std::chrono::steady_clock::time_point clientClosedAt;
};

class ScriptServer {
 public:
  static constexpr int kUnlimited = -1;
  // Serves `connections` connections (kUnlimited: until destroyed) with `script`. When the
  // script ends without a close or reset, the connection is closed in order.
  explicit ScriptServer(std::vector<Step> script, int connections = 1);
  ~ScriptServer();
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  std::uint16_t Port() const;
  // "http://127.0.0.1:<port>" followed by `target`.
  std::u16string Address(std::u16string_view target = u"/weather/101230101.shtml") const;
  // True once every connection has been served (false after `bound`).
  bool WaitFinished(std::chrono::milliseconds bound = 10s) const;
  // True once connection `index` has seen its client close (false after `bound`).
  bool WaitClientClosed(std::size_t index, std::chrono::milliseconds bound) const;
  std::size_t AcceptedCount() const;
  // A copy of what has been recorded for connection `index` so far (empty if not accepted).
  ConnectionRecord Record(std::size_t index) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::thread thread_;
};

}  // namespace qelo::test
