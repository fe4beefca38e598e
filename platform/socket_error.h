#pragma once
// The failures of the socket layer: SocketError carries its Windows Sockets error code (10061
// for a refused connection, 11001 for a host that does not exist), ConnectTimeout ends a
// connect that took too long. The POSIX layer maps errno and resolver
// errors to the same codes, so both builds report identical messages.

#include <exception>

namespace qelo::platform {

inline constexpr int kWsaConnectionAborted = 10053;
inline constexpr int kWsaConnectionReset = 10054;
inline constexpr int kWsaShutdown = 10058;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaHostNotFound = 11001;

class SocketError : public std::exception {
 public:
  explicit SocketError(int code) : code_(code) {}
  int Code() const noexcept { return code_; }
  const char* what() const noexcept override { return "socket error"; }

 private:
  int code_;
};

// A connect that did not complete within its time-out.
class ConnectTimeout : public std::exception {
 public:
  const char* what() const noexcept override { return "connect timed out"; }
};

}  // namespace qelo::platform
