#include "retrieval/http_body.h"

#include <algorithm>

#include "core/failure.h"
#include "core/messages.h"
#include "retrieval/header_block.h"
#include "retrieval/http_fields.h"
#include "retrieval/http_response.h"

namespace qelo {
namespace {

[[noreturn]] void ThrowClosedGracefully() { throw Failure(messages::kConnectionClosedGracefully); }

// At most `most` body bytes, into the buffer or dropped; 0 once the peer has closed.
std::size_t Take(LineReader& reader, std::size_t most, ResponseBuffer* keepInto) {
  if (keepInto) return reader.ReadBodyInto(*keepInto, most);
  return reader.ReadBody(most).size();
}

// Up to `length` bytes; returns how many came before the peer closed.
std::int64_t ReadUpTo(LineReader& reader, std::int64_t length, ResponseBuffer* keepInto) {
  std::int64_t received = 0;
  while (received < length) {
    const auto most = static_cast<std::size_t>(
        std::min<std::int64_t>(length - received, static_cast<std::int64_t>(kReceiveBlockBytes)));
    const std::size_t taken = Take(reader, most, keepInto);
    if (taken == 0) break;
    received += static_cast<std::int64_t>(taken);
  }
  return received;
}

// The number before any chunk extension; 0, which ends the body, when it is not hexadecimal.
std::int64_t ChunkSizeOf(std::u16string_view sizeLine) {
  const auto size = ReadHexNumber(TrimControlAndSpace(sizeLine.substr(0, sizeLine.find(u';'))));
  return size.value_or(0);
}

void ReadChunked(LineReader& reader, ResponseBuffer* keepInto, HttpResponse& response) {
  for (;;) {
    const auto sizeLine = reader.ReadLine();
    if (!sizeLine) ThrowClosedGracefully();
    const std::int64_t size = ChunkSizeOf(*sizeLine);
    if (size == 0) break;
    if (ReadUpTo(reader, size, keepInto) < size) ThrowClosedGracefully();
    if (!reader.ReadLine()) ThrowClosedGracefully();  // the line end after the chunk data
  }
  ReadHeaderBlock(reader, response.headerLines, HeaderBlockKind::kTrailer, kMaxHeaderLines);
}

void ReadByLength(LineReader& reader, std::int64_t length, ResponseBuffer* keepInto) {
  // A close before the end leaves a shorter body, which still counts.
  ReadUpTo(reader, length, keepInto);
}

void ReadUntilClose(LineReader& reader, ResponseBuffer* keepInto) {
  while (Take(reader, kReceiveBlockBytes, keepInto) > 0) {
  }
}

// Room for the whole body before its first byte, so that it is neither copied nor faulted in
// twice while it grows: its announced length, or the limit when none is announced; never more
// than the limit, which a longer body fails at anyway. Reserved pages that no byte touches cost
// address space only, and a body that ends short gives the spare back (ReleaseSpare).
void ReserveFor(const BodyPlan& plan, ResponseBuffer& buffer) {
  const std::size_t room = buffer.Room();
  if (plan.framing == BodyFraming::kLength) {
    const auto length = static_cast<std::uint64_t>(plan.length);
    buffer.Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(length, room)));
  } else if (plan.framing != BodyFraming::kNone) {
    buffer.Reserve(room);
  }
}

std::int64_t ContentLengthOf(const HttpResponse& response) {
  const std::u16string value = response.HeaderValue(u"Content-Length");
  return ReadWholeNumber(TrimControlAndSpace(value)).value_or(-1);
}

}  // namespace

BodyPlan PlanBody(const HttpResponse& response) {
  if (ContainsIgnoringAsciiCase(response.HeaderValue(u"Transfer-Encoding"), u"chunked")) {
    return {BodyFraming::kChunked, 0};
  }
  const std::int64_t length = ContentLengthOf(response);
  if (length > 0) return {BodyFraming::kLength, length};
  if (length == 0) return {BodyFraming::kNone, 0};
  return {BodyFraming::kUntilClose, 0};
}

void ReadBody(LineReader& reader, const BodyPlan& plan, ResponseBuffer* keepInto,
              HttpResponse& response) {
  if (keepInto) ReserveFor(plan, *keepInto);
  switch (plan.framing) {
    case BodyFraming::kChunked:
      ReadChunked(reader, keepInto, response);
      break;
    case BodyFraming::kLength:
      ReadByLength(reader, plan.length, keepInto);
      break;
    case BodyFraming::kUntilClose:
      ReadUntilClose(reader, keepInto);
      break;
    case BodyFraming::kNone:
      break;
  }
  // A body well short of what was reserved for it keeps no more memory than it fills.
  if (keepInto) keepInto->ReleaseSpare();
}

}  // namespace qelo
