#include "tests/support/scripted_byte_source.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"
#include "platform/socket_error.h"

namespace qelo::test {

ScriptedByteSource& ScriptedByteSource::Bytes(std::string_view chunk) {
  if (!chunk.empty()) {
    Step step;
    step.kind = Kind::kBytes;
    step.bytes = std::string(chunk);
    steps_.push_back(std::move(step));
  }
  return *this;
}

ScriptedByteSource& ScriptedByteSource::Repeat(char byte, std::uint64_t count) {
  if (count > 0) {
    Step step;
    step.kind = Kind::kRepeat;
    step.fill = byte;
    step.count = count;
    steps_.push_back(std::move(step));
  }
  return *this;
}

ScriptedByteSource& ScriptedByteSource::SocketError(int code) {
  Step step;
  step.kind = Kind::kSocketError;
  step.code = code;
  steps_.push_back(std::move(step));
  return *this;
}

ScriptedByteSource& ScriptedByteSource::Failure(std::u16string message) {
  Step step;
  step.kind = Kind::kFailure;
  step.message = std::move(message);
  steps_.push_back(std::move(step));
  return *this;
}

ScriptedByteSource& ScriptedByteSource::WaitAnswer(bool answer) {
  waitAnswers_.push_back(answer);
  return *this;
}

std::size_t ScriptedByteSource::Read(std::uint8_t* into, std::size_t capacity) {
  ++readCalls_;
  largestCapacity_ = std::max(largestCapacity_, capacity);
  if (steps_.empty()) {
    ++readsAtEnd_;
    return 0;
  }
  Step& step = steps_.front();
  switch (step.kind) {
    case Kind::kSocketError: {
      const int code = step.code;
      steps_.pop_front();
      throw platform::SocketError(code);
    }
    case Kind::kFailure: {
      std::u16string message = std::move(step.message);
      steps_.pop_front();
      throw qelo::Failure(std::move(message));
    }
    case Kind::kRepeat: {
      const auto taken = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, step.count));
      std::memset(into, step.fill, taken);
      step.count -= taken;
      if (step.count == 0) steps_.pop_front();
      return taken;
    }
    case Kind::kBytes:
      break;
  }
  const std::size_t taken = std::min(capacity, step.bytes.size());
  std::memcpy(into, step.bytes.data(), taken);
  step.bytes.erase(0, taken);
  if (step.bytes.empty()) steps_.pop_front();
  return taken;
}

bool ScriptedByteSource::WaitReadable(std::chrono::milliseconds wait) {
  ++waitCalls_;
  lastWait_ = wait;
  if (waitAnswers_.empty()) return true;
  const bool answer = waitAnswers_.front();
  waitAnswers_.pop_front();
  return answer;
}

}  // namespace qelo::test
