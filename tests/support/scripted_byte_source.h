#pragma once
// A byte source that plays a script: chunks of bytes handed out one Read at a time, resets,
// timeouts and failures at chosen points, and the peer's close when the script has run out.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "retrieval/http_response.h"

namespace qelo::test {

class ScriptedByteSource : public ByteSource {
 public:
  // One chunk: the next Read gives it (or as much of it as the capacity allows).
  ScriptedByteSource& Bytes(std::string_view chunk);
  // `count` copies of `byte`, produced as they are read, so that huge bodies cost no memory.
  ScriptedByteSource& Repeat(char byte, std::uint64_t count);
  // The next Read meets `end` instead of bytes: a reset is {kFailed, 10054}.
  ScriptedByteSource& End(platform::SocketEnd end);
  // The next WaitReadable answers `answer`; without a scripted answer it says true.
  ScriptedByteSource& WaitAnswer(bool answer);

  platform::Received Read(std::uint8_t* into, std::size_t capacity) override;
  bool WaitReadable(std::chrono::milliseconds wait) override;

  int ReadCalls() const { return readCalls_; }
  std::size_t LargestCapacity() const { return largestCapacity_; }
  int WaitCalls() const { return waitCalls_; }
  std::chrono::milliseconds LastWait() const { return lastWait_; }
  bool PlayedOut() const { return steps_.empty(); }

 private:
  struct Step {
    std::string bytes;
    char fill = 0;
    std::uint64_t count = 0;  // of `fill`, when above 0
    platform::SocketEnd end;
  };
  std::deque<Step> steps_;
  std::deque<bool> waitAnswers_;
  int readCalls_ = 0;
  std::size_t largestCapacity_ = 0;
  int waitCalls_ = 0;
  std::chrono::milliseconds lastWait_{0};
};

}  // namespace qelo::test
