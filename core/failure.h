#pragma once
// The failure type of the run: every step that fails throws a Failure whose message is what
// the failure report shows.

#include <exception>
#include <string>
#include <utility>

namespace qelo {

class Failure : public std::exception {
 public:
  explicit Failure(std::u16string message) : message_(std::move(message)) {}
  const std::u16string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return "qeloweather failure"; }

 private:
  std::u16string message_;
};

}  // namespace qelo
