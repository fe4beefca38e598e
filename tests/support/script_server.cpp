#include "tests/support/script_server.h"

#include <algorithm>
#include <atomic>

#include "tests/support/loopback_listener.h"

namespace qelo::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kSlice{20};
constexpr std::chrono::seconds kSendBound{30};

std::chrono::milliseconds Until(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return std::clamp(left, std::chrono::milliseconds{0}, kSlice);
}

}  // namespace

struct ScriptServer::State {
  State(std::vector<Step> steps, int count, int backlog)
      : listener(backlog), script(std::move(steps)), connections(count) {}

  // One accepted connection while its script runs.
  struct Peer {
    PeerSocket socket;
    std::size_t index;
    std::string received;
    std::size_t requestSearchFrom = 0;
    bool gone = false;
  };

  platform::SocketLibrary library;
  LoopbackListener listener;
  const std::vector<Step> script;
  const int connections;
  std::atomic<bool> stop{false};
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::vector<ConnectionRecord> records;
  bool finished = false;

  void Run() {
    for (int served = 0; !stop && (connections == kUnlimited || served < connections);) {
      PeerSocket socket = listener.Accept(kSlice);
      if (!socket.Valid()) continue;
      Peer peer{std::move(socket), 0, {}};
      {
        std::lock_guard lock(mutex);
        peer.index = records.size();
        records.push_back({});
        records.back().acceptedAt = Clock::now();
      }
      changed.notify_all();
      Serve(peer);
      ++served;
    }
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
  }

  void Serve(Peer& peer) {
    for (const Step& step : script) {
      if (stop || !peer.socket.Valid() || !RunStep(peer, step)) break;
    }
    if (peer.socket.Valid()) CloseInOrder(peer);
  }

  // False when the rest of the script cannot run (the client is gone while sending).
  bool RunStep(Peer& peer, const Step& step) {
    switch (step.kind) {
      case Step::Kind::kSend:
        return SendAll(peer, step.bytes.data(), step.bytes.size());
      case Step::Kind::kFlood:
        return Flood(peer, step);
      case Step::Kind::kPause:
        ReadFor(peer, step.time, [] { return false; });
        return true;
      case Step::Kind::kAwaitRequest:
        ReadFor(peer, step.time, [&peer] { return RequestArrived(peer); });
        return true;
      case Step::Kind::kHoldOpen:
        ReadFor(peer, step.time, [&peer] { return peer.gone; });
        return true;
      case Step::Kind::kClose:
        CloseInOrder(peer);
        return false;
      case Step::Kind::kReset:
        ResetConnection(peer.socket);
        return false;
    }
    return false;
  }

  static bool RequestArrived(Peer& peer) {
    std::size_t end = peer.received.find("\r\n\r\n", peer.requestSearchFrom);
    if (end == std::string::npos) return false;
    peer.requestSearchFrom = end + 4;
    return true;
  }

  template <typename Done>
  void ReadFor(Peer& peer, std::chrono::milliseconds time, Done done) {
    const auto deadline = Clock::now() + time;
    while (!stop && !done() && Clock::now() < deadline) {
      if (peer.gone) {
        std::this_thread::sleep_for(Until(deadline));
      } else {
        ReadSome(peer, Until(deadline));
      }
    }
  }

  // Reads what arrives within `wait` and records it; the byte count (0 for none or a close).
  std::size_t ReadSome(Peer& peer, std::chrono::milliseconds wait) {
    if (peer.gone) return 0;
    char block[16384];
    const long long received = ReceiveSome(peer.socket, block, sizeof block, wait);
    if (received < 0) MarkGone(peer);
    if (received <= 0) return 0;
    const auto count = static_cast<std::size_t>(received);
    peer.received.append(block, count);
    {
      std::lock_guard lock(mutex);
      records[peer.index].received.append(block, count);
    }
    changed.notify_all();
    return count;
  }

  void MarkGone(Peer& peer) {
    if (peer.gone) return;
    peer.gone = true;
    {
      std::lock_guard lock(mutex);
      records[peer.index].clientClosed = true;
      records[peer.index].clientClosedAt = Clock::now();
    }
    changed.notify_all();
  }

  bool SendAll(Peer& peer, const char* bytes, std::size_t count) {
    const auto deadline = Clock::now() + kSendBound;
    while (count > 0 && !stop && Clock::now() < deadline) {
      long long sent = SendSome(peer.socket, bytes, count, kSlice);
      if (sent < 0) {
        MarkGone(peer);
        return false;
      }
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
      if (sent == 0) ReadSome(peer, std::chrono::milliseconds{0});
    }
    return count == 0;
  }

  bool Flood(Peer& peer, const Step& step) {
    std::size_t left = step.limit;
    while (left > 0 && !stop) {
      std::size_t piece = std::min(left, step.bytes.size());
      if (!SendAll(peer, step.bytes.data(), piece)) return false;
      left -= piece;
    }
    return true;
  }

  void CloseInOrder(Peer& peer) {
    while (ReadSome(peer, std::chrono::milliseconds{0}) > 0) {
    }
    peer.socket.Reset();
  }
};

ScriptServer::ScriptServer(std::vector<Step> script, int connections, int backlog)
    : state_(std::make_unique<State>(std::move(script), connections, backlog)),
      thread_([state = state_.get()] { state->Run(); }) {}

ScriptServer::~ScriptServer() {
  state_->stop = true;
  thread_.join();
}

std::uint16_t ScriptServer::Port() const { return state_->listener.Port(); }

std::u16string ScriptServer::Address(std::u16string_view target) const {
  std::u16string address = u"http://127.0.0.1:";
  for (char c : std::to_string(Port())) address.push_back(static_cast<char16_t>(c));
  address += target;
  return address;
}

bool ScriptServer::WaitFinished(std::chrono::milliseconds bound) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, bound, [this] { return state_->finished; });
}

bool ScriptServer::WaitClientClosed(std::size_t index, std::chrono::milliseconds bound) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, bound, [this, index] {
    return index < state_->records.size() && state_->records[index].clientClosed;
  });
}

std::size_t ScriptServer::AcceptedCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->records.size();
}

ConnectionRecord ScriptServer::Record(std::size_t index) const {
  std::lock_guard lock(state_->mutex);
  return index < state_->records.size() ? state_->records[index] : ConnectionRecord{};
}

}  // namespace qelo::test
