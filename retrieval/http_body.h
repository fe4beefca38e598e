#pragma once
// The four body framings of a response and the choice between them.

#include <cstdint>
#include <string>
#include <vector>

#include "retrieval/line_reader.h"
#include "retrieval/response_buffer.h"

namespace qelo {

struct HttpResponse;

enum class BodyFraming { kNone, kChunked, kLength, kUntilClose };

struct BodyPlan {
  BodyFraming framing = BodyFraming::kNone;
  std::int64_t length = 0;  // for kLength
};

// Chunked when Transfer-Encoding names it, else by a Content-Length of 1 or more, none for a
// Content-Length of 0, else up to the peer's close.
BodyPlan PlanBody(const HttpResponse& response);

// Reads the body as planned. Bytes go to `keepInto`, or are dropped block by block when it is
// null. A chunked body's trailer lines are appended to `response.headerLines`.
void ReadBody(LineReader& reader, const BodyPlan& plan, ResponseBuffer* keepInto,
              HttpResponse& response);

}  // namespace qelo
