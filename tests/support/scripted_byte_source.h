#pragma once
// A byte source that plays a script: chunks of bytes handed out one Read at a time, failures
// thrown at chosen points, and the peer's close when the script has run out.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "retrieval/byte_source.h"

namespace qelo::test {

class ScriptedByteSource : public ByteSource {
 public:
  // One chunk: the next Read gives it (or as much of it as the capacity allows).
  ScriptedByteSource& Bytes(std::string_view chunk);
  // `count` copies of `byte`, produced as they are read, so that huge bodies cost no memory.
  ScriptedByteSource& Repeat(char byte, std::uint64_t count);
  // The next Read throws platform::SocketError(code).
  ScriptedByteSource& SocketError(int code);
  // The next Read throws Failure(message), e.g. u"Read timed out.".
  ScriptedByteSource& Failure(std::u16string message);
  // The next WaitReadable answers `answer`; without a scripted answer it says true.
  ScriptedByteSource& WaitAnswer(bool answer);

  std::size_t Read(std::uint8_t* into, std::size_t capacity) override;
  bool WaitReadable(std::chrono::milliseconds wait) override;

  int ReadCalls() const { return readCalls_; }
  int ReadsAtEnd() const { return readsAtEnd_; }  // Read calls that found the script played out
  std::size_t LargestCapacity() const { return largestCapacity_; }
  int WaitCalls() const { return waitCalls_; }
  std::chrono::milliseconds LastWait() const { return lastWait_; }
  bool PlayedOut() const { return steps_.empty(); }

 private:
  enum class Kind { kBytes, kRepeat, kSocketError, kFailure };
  struct Step {
    Kind kind = Kind::kBytes;
    std::string bytes;
    char fill = 0;
    std::uint64_t count = 0;
    int code = 0;
    std::u16string message;
  };
  std::deque<Step> steps_;
  std::deque<bool> waitAnswers_;
  int readCalls_ = 0;
  int readsAtEnd_ = 0;
  std::size_t largestCapacity_ = 0;
  int waitCalls_ = 0;
  std::chrono::milliseconds lastWait_{0};
};

}  // namespace qelo::test
