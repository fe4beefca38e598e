#include "tests/support/scripted_byte_source.h"

#include <algorithm>
#include <cstring>

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

ScriptedByteSource& ScriptedByteSource::End(platform::SocketEnd end) {
  steps_.emplace_back().end = end;
  return *this;
}

ScriptedByteSource& ScriptedByteSource::WaitAnswer(bool answer) {
  waitAnswers_.push_back(answer);
  return *this;
}

platform::Received ScriptedByteSource::Read(std::uint8_t* into, std::size_t capacity) {
  ++readCalls_;
  largestCapacity_ = std::max(largestCapacity_, capacity);
  if (steps_.empty()) return {0, {platform::SocketEnd::kClosed}};
  Step& step = steps_.front();
  if (step.end.kind != platform::SocketEnd::kNone) {
    const platform::SocketEnd end = step.end;
    steps_.pop_front();
    return {0, end};
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
  return {taken, {}};
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
