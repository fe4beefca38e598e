#pragma once
// Reading one scripted response in the response-reader tests.

#include <optional>
#include <string>

#include "core/failure.h"
#include "platform/socket.h"
#include "retrieval/http_client.h"
#include "retrieval/http_response.h"
#include "tests/support/scripted_byte_source.h"

namespace qelo::test {

struct ReadOutcome {
  HttpResponse response;
  std::string body;                       // what the response buffer holds afterwards
  std::optional<std::u16string> failure;  // the message when the reader threw
};

inline ReadOutcome ReadScripted(ScriptedByteSource& source,
                                std::size_t maxBytes = kMaxResponseBytes) {
  ReadOutcome outcome;
  ResponseBuffer buffer(kCodePageUtf8, maxBytes);
  try {
    outcome.response = ReadResponse(source, buffer);
  } catch (const platform::SocketError& error) {
    outcome.failure = SocketErrorMessage(error.Code());  // as the client reports it
  } catch (const Failure& failure) {
    outcome.failure = failure.Message();
  }
  outcome.body.assign(buffer.Bytes().begin(), buffer.Bytes().end());
  return outcome;
}

inline ReadOutcome ReadScripted(std::string_view response) {
  ScriptedByteSource source;
  source.Bytes(response);
  return ReadScripted(source);
}

}  // namespace qelo::test
