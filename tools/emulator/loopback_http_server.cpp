#include "tools/emulator/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

namespace qelo::emulator {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t kMaxRequestHead = 16384;
constexpr milliseconds kFirstRequestWait{10000};
constexpr milliseconds kKeepAliveIdle{5000};
constexpr milliseconds kPollSlice{50};
constexpr milliseconds kCloseDrain{2000};
constexpr std::size_t kMaxConnections = 64;

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Shared between the accepting loop and the connection threads.
struct ServerState {
  std::atomic<long> answered{0};
  std::atomic<bool> stopping{false};
  ServeLimits limits;

  bool LimitReached() const {
    return limits.maxRequests > 0 && answered.load() >= limits.maxRequests;
  }
  bool PastDeadline() const { return Clock::now() >= limits.deadline; }
};

// Waits until the socket is readable; false on timeout, on stop or past the deadline.
bool WaitReadable(int fd, milliseconds wait, const ServerState& state) {
  const auto until = Clock::now() + wait;
  while (!state.stopping.load() && !state.PastDeadline() && Clock::now() < until) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(kPollSlice.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

// The end of the request head: the first blank line, written CR LF CR LF or LF LF.
std::size_t HeadEnd(const std::string& data) {
  const auto crlf = data.find("\r\n\r\n");
  const auto lf = data.find("\n\n");
  if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
  if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
  return lf + 2;
}

// Reads one request head; bytes after it (a pipelined request) stay in `pending`.
std::optional<Request> ReadRequest(int fd, std::string& pending, milliseconds wait,
                                   const ServerState& state) {
  while (HeadEnd(pending) == std::string::npos) {
    if (pending.size() > kMaxRequestHead) return std::nullopt;
    if (!WaitReadable(fd, wait, state)) return std::nullopt;
    char block[4096];
    const ssize_t got = ::recv(fd, block, sizeof block, 0);
    if (got <= 0) return std::nullopt;
    pending.append(block, static_cast<std::size_t>(got));
  }
  const std::size_t end = HeadEnd(pending);
  Request request;
  request.head = pending.substr(0, end);
  pending.erase(0, end);
  const std::string line = request.head.substr(0, request.head.find_first_of("\r\n"));
  const auto firstSpace = line.find(' ');
  const auto secondSpace = line.find(' ', firstSpace == std::string::npos ? 0 : firstSpace + 1);
  if (firstSpace == std::string::npos || secondSpace == std::string::npos) return std::nullopt;
  request.method = line.substr(0, firstSpace);
  request.target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  return request;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t done = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    sent += static_cast<std::size_t>(done);
  }
  return true;
}

bool SendReply(int fd, const Reply& reply, const ServerState& state) {
  for (std::size_t i = 0; i < reply.pieces.size(); ++i) {
    if (i > 0 && reply.pauseBetweenPieces.count() > 0) {
      if (state.PastDeadline()) return false;
      std::this_thread::sleep_for(reply.pauseBetweenPieces);
    }
    if (!SendAll(fd, reply.pieces[i])) return false;
  }
  return !reply.sharedBody || SendAll(fd, *reply.sharedBody);
}

// Ends our side with a FIN and reads what the client still sends until it closes (boundedly):
// closing with unread bytes would reset the connection instead of closing it in order.
void CloseInOrder(int fd) {
  ::shutdown(fd, SHUT_WR);
  const auto until = Clock::now() + kCloseDrain;
  char drain[4096];
  while (Clock::now() < until) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(kPollSlice.count()));
    if (ready < 0 && errno != EINTR) return;
    if (ready > 0 && ::recv(fd, drain, sizeof drain, 0) <= 0) return;
  }
}

void ServeConnection(int rawFd, const RequestHandler& handler, ServerState& state) {
  Fd fd(rawFd);
  const timeval sendTimeout{10, 0};
  ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
  const int one = 1;
  ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (state.limits.closeOnAccept) {
    ++state.answered;
    CloseInOrder(fd.get());
    return;
  }
  std::string pending;
  milliseconds wait = kFirstRequestWait;
  while (!state.LimitReached()) {
    const auto request = ReadRequest(fd.get(), pending, wait, state);
    if (!request) break;
    const Reply reply = handler(*request);
    const bool sent = SendReply(fd.get(), reply, state);
    ++state.answered;
    if (!sent || !reply.keepAlive) break;
    wait = kKeepAliveIdle;
  }
  CloseInOrder(fd.get());
}

struct Worker {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done;
};

void ReapFinished(std::list<Worker>& workers) {
  for (auto it = workers.begin(); it != workers.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = workers.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(int port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw SystemError("socket");
  const int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const auto error = SystemError("bind 127.0.0.1:" + std::to_string(port));
    ::close(listenFd_);
    throw error;
  }
  if (::listen(listenFd_, 128) != 0) {
    const auto error = SystemError("listen");
    ::close(listenFd_);
    throw error;
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

LoopbackHttpServer::~LoopbackHttpServer() {
  if (listenFd_ >= 0) ::close(listenFd_);
}

void LoopbackHttpServer::Serve(const RequestHandler& handler, const ServeLimits& limits) {
  ServerState state;
  state.limits = limits;
  std::list<Worker> workers;
  while (!state.PastDeadline() && !state.LimitReached()) {
    ReapFinished(workers);
    if (workers.size() >= kMaxConnections) {
      std::this_thread::sleep_for(kPollSlice);
      continue;
    }
    pollfd entry{listenFd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(kPollSlice.count())) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers.push_back({std::thread([fd, &handler, &state, done] {
                         ServeConnection(fd, handler, state);
                         done->store(true);
                       }),
                       done});
  }
  // Replies in progress are completed; idle keep-alive connections end at once.
  state.stopping.store(true);
  for (auto& worker : workers) worker.thread.join();
}

}  // namespace qelo::emulator
