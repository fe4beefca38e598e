#pragma once
// Reading one scripted response in the response-reader tests.

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "core/failure.h"
#include "retrieval/http_response.h"
#include "tests/support/scripted_byte_source.h"

namespace qelo::test {

struct ReadOutcome {
  HttpResponse response;
  std::string body;                       // what the response buffer holds afterwards
  std::optional<std::u16string> failure;  // the message when the reader threw
  std::size_t largestCapacity = 0;  // of the buffer at any read, reservations for the body made
  std::size_t capacity = 0;         // of the buffer afterwards
};

// Plays `script`, noting the buffer's largest capacity at the reads.
class CapacityWatch : public ByteSource {
 public:
  CapacityWatch(ScriptedByteSource& script, const ResponseBuffer& buffer, std::size_t& largest)
      : script_(script), buffer_(buffer), largest_(largest) {}
  platform::Received Read(std::uint8_t* into, std::size_t capacity) override {
    largest_ = std::max(largest_, buffer_.Bytes().capacity());
    return script_.Read(into, capacity);
  }
  bool WaitReadable(std::chrono::milliseconds wait) override { return script_.WaitReadable(wait); }

 private:
  ScriptedByteSource& script_;
  const ResponseBuffer& buffer_;
  std::size_t& largest_;
};

inline ReadOutcome ReadScripted(ScriptedByteSource& script,
                                std::size_t maxBytes = kMaxResponseBytes) {
  ReadOutcome outcome;
  ResponseBuffer buffer(kCodePageUtf8, maxBytes);
  CapacityWatch source(script, buffer, outcome.largestCapacity);
  try {
    outcome.response = ReadResponse(source, buffer);
  } catch (const Failure& failure) {
    outcome.failure = failure.Message();
  }
  outcome.body.assign(buffer.Bytes().begin(), buffer.Bytes().end());
  outcome.capacity = buffer.Bytes().capacity();
  return outcome;
}

inline ReadOutcome ReadScripted(std::string_view response) {
  ScriptedByteSource source;
  source.Bytes(response);
  return ReadScripted(source);
}

}  // namespace qelo::test
