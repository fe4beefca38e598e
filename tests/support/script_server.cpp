#include "tests/support/script_server.h"

#include <algorithm>

namespace qelo::test {

struct ScriptServer::State {
  State(std::vector<Step> steps, int count) : script(std::move(steps)), connections(count) {}

  LoopbackHttpServer server;
  const std::vector<Step> script;
  const int connections;
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::vector<ConnectionRecord> records;
  bool finished = false;

  void Run() {
    const auto forever = std::chrono::steady_clock::time_point::max();
    server.Serve([this](LoopbackConnection& connection) { Serve(connection); }, forever,
                 connections == kUnlimited ? 0 : connections);
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
  }

  void Serve(LoopbackConnection& connection) {
    std::size_t index;
    {
      std::lock_guard lock(mutex);
      index = records.size();
      records.emplace_back().acceptedAt = std::chrono::steady_clock::now();
    }
    connection.onChange = [this, &connection, index] { Record(connection, index); };
    changed.notify_all();
    for (const Step& step : script) {
      if (connection.Stopping() || !RunStep(connection, step)) return;
    }
  }

  void Record(const LoopbackConnection& connection, std::size_t index) {
    {
      std::lock_guard lock(mutex);
      ConnectionRecord& record = records[index];
      record.received = connection.Received();
      if (connection.ClientGone() && !record.clientClosed) {
        record.clientClosed = true;
        record.clientClosedAt = std::chrono::steady_clock::now();
      }
    }
    changed.notify_all();
  }

  // False when the rest of the script cannot run (the client is gone while sending, or the
  // connection has ended).
  static bool RunStep(LoopbackConnection& connection, const Step& step) {
    switch (step.kind) {
      case Step::Kind::kSend:
        return connection.Send(step.bytes);
      case Step::Kind::kFlood:
        for (std::size_t left = step.limit; left > 0;) {
          const std::size_t piece = std::min(left, step.bytes.size());
          if (!connection.Send(std::string_view(step.bytes).substr(0, piece))) return false;
          left -= piece;
        }
        return true;
      case Step::Kind::kPause:
      case Step::Kind::kHoldOpen:  // both read until their time is up or the client is gone
        connection.ReadUntil(step.time, [] { return false; });
        return true;
      case Step::Kind::kAwaitRequest:
        connection.NextRequestHead(step.time);
        return true;
      case Step::Kind::kClose:
        connection.CloseInOrder();
        return false;
      case Step::Kind::kReset:
        connection.Reset();
        return false;
    }
    return false;
  }
};

ScriptServer::ScriptServer(std::vector<Step> script, int connections)
    : state_(std::make_unique<State>(std::move(script), connections)),
      thread_([state = state_.get()] { state->Run(); }) {}

ScriptServer::~ScriptServer() {
  state_->server.Stop();
  thread_.join();
}

std::uint16_t ScriptServer::Port() const { return state_->server.Port(); }

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
