#include "tests/support/loopback_http_server.h"

#include <algorithm>
#include <list>
#include <memory>
#include <thread>

namespace qelo::test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{20};
constexpr milliseconds kSendBound{30000};
constexpr milliseconds kCloseDrain{2000};
constexpr std::size_t kMaxRequestHead = 16384;
constexpr std::size_t kMaxConnections = 64;

milliseconds SliceUntil(Clock::time_point deadline) {
  return std::clamp(std::chrono::ceil<milliseconds>(deadline - Clock::now()), milliseconds{0},
                    kSlice);
}

// The end of the first request head after `from`: its blank line, CR LF CR LF or LF LF.
std::size_t HeadEnd(const std::string& data, std::size_t from) {
  const auto crlf = data.find("\r\n\r\n", from);
  const auto lf = data.find("\n\n", from);
  if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
  if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
  return lf + 2;
}

}  // namespace

void LoopbackConnection::Receive(milliseconds wait) {
  if (gone_) return;
  char block[16384];
  const long long received = ReceiveSome(socket_, block, sizeof block, wait);
  if (received < 0) return MarkGone();
  if (received == 0) return;
  received_.append(block, static_cast<std::size_t>(received));
  onChange();
}

void LoopbackConnection::MarkGone() {
  gone_ = true;
  onChange();
}

void LoopbackConnection::ReadUntil(milliseconds wait, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + wait;
  while (!Stopping() && !gone_ && !done() && Clock::now() < deadline) {
    Receive(SliceUntil(deadline));
  }
}

std::optional<std::string> LoopbackConnection::NextRequestHead(milliseconds wait) {
  ReadUntil(wait, [this] {
    return HeadEnd(received_, headsTaken_) != std::string::npos ||
           received_.size() - headsTaken_ > kMaxRequestHead;
  });
  const std::size_t end = HeadEnd(received_, headsTaken_);
  if (end == std::string::npos || end - headsTaken_ > kMaxRequestHead) return std::nullopt;
  std::string head = received_.substr(headsTaken_, end - headsTaken_);
  headsTaken_ = end;
  return head;
}

bool LoopbackConnection::Send(std::string_view bytes) {
  const auto deadline = Clock::now() + kSendBound;
  while (!bytes.empty() && !Stopping() && Clock::now() < deadline) {
    const long long sent = SendSome(socket_, bytes.data(), bytes.size(), kSlice);
    if (sent < 0) {
      MarkGone();
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
    // A client that sends while we send must not stall both sides.
    if (sent == 0) Receive(milliseconds{0});
  }
  return bytes.empty();
}

void LoopbackConnection::CloseInOrder() {
  if (!socket_.Valid()) return;
  ShutdownSending(socket_);
  const auto deadline = Clock::now() + kCloseDrain;
  while (!gone_ && Clock::now() < deadline) Receive(SliceUntil(deadline));
  socket_.Reset();
}

void LoopbackHttpServer::Serve(const Handler& handler, Clock::time_point deadline,
                               long connections) {
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::list<Worker> workers;
  for (long accepted = 0;
       !stopping_ && Clock::now() < deadline && (connections == 0 || accepted < connections);) {
    workers.remove_if([](Worker& worker) {
      if (!worker.done->load()) return false;
      worker.thread.join();
      return true;
    });
    PeerSocket socket = workers.size() < kMaxConnections ? listener_.Accept(kSlice) : PeerSocket{};
    if (!socket.Valid()) {
      if (workers.size() >= kMaxConnections) std::this_thread::sleep_for(kSlice);
      continue;
    }
    ++accepted;
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers.push_back({std::thread([this, &handler, done, socket = std::move(socket)]() mutable {
                         LoopbackConnection connection(std::move(socket), stopping_);
                         handler(connection);
                         connection.CloseInOrder();
                         done->store(true);
                       }),
                       done});
  }
  if (Clock::now() >= deadline) Stop();
  for (Worker& worker : workers) worker.thread.join();
}

}  // namespace qelo::test
