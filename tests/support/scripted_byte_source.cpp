#include "tests/support/scripted_byte_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qelo::test {

ScriptedByteSource& ScriptedByteSource::Bytes(std::string_view chunk) {
  if (!chunk.empty()) steps_.emplace_back().bytes = chunk;
  return *this;
}

ScriptedByteSource& ScriptedByteSource::Repeat(char byte, std::uint64_t count) {
  if (count > 0) {
    Step& step = steps_.emplace_back();
    step.fill = byte;
    step.count = count;
  }
  return *this;
}

ScriptedByteSource& ScriptedByteSource::Reset(int code) {
  steps_.emplace_back().resetCode = code;
  return *this;
}

ScriptedByteSource& ScriptedByteSource::Fault(std::exception_ptr failure) {
  steps_.emplace_back().fault = std::move(failure);
  return *this;
}

ScriptedByteSource& ScriptedByteSource::WaitAnswer(bool answer) {
  waitAnswers_.push_back(answer);
  return *this;
}

Received ScriptedByteSource::Read(std::uint8_t* into, std::size_t capacity) {
  ++readCalls_;
  largestCapacity_ = std::max(largestCapacity_, capacity);
  if (steps_.empty()) return {};
  Step& step = steps_.front();
  if (step.fault || step.resetCode != 0) {
    const Step ending = std::move(step);
    steps_.pop_front();
    if (ending.fault) std::rethrow_exception(ending.fault);
    return {0, ending.resetCode};
  }
  std::size_t taken = 0;
  if (step.count > 0) {
    taken = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, step.count));
    std::memset(into, step.fill, taken);
    step.count -= taken;
  } else {
    taken = std::min(capacity, step.bytes.size());
    std::memcpy(into, step.bytes.data(), taken);
    step.bytes.erase(0, taken);
  }
  if (step.count == 0 && step.bytes.empty()) steps_.pop_front();
  return {taken, 0};
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
