#include "retrieval/http_response.h"

#include "core/failure.h"
#include "core/messages.h"
#include "retrieval/header_block.h"
#include "retrieval/http_body.h"
#include "retrieval/http_fields.h"
#include "retrieval/line_reader.h"

namespace qelo {
namespace {

// What the final status does with the body.
enum class BodyUse {
  kNone,          // 1xx, 204, 304: no body is read
  kKeep,          // 2xx: into the response buffer
  kDropIfAtHand,  // 3xx: read off and dropped if a byte of it comes within the grace
  kDrop,          // everything else: read off and dropped
};

BodyUse BodyUseFor(int statusCode) {
  if (statusCode == 204 || statusCode == 304 || (statusCode >= 100 && statusCode <= 199)) {
    return BodyUse::kNone;
  }
  if (statusCode >= 200 && statusCode <= 299) return BodyUse::kKeep;
  if (statusCode >= 300 && statusCode <= 399) return BodyUse::kDropIfAtHand;
  return BodyUse::kDrop;
}

bool IsContinuationLine(std::u16string_view line) {
  return !line.empty() && (line.front() == u' ' || line.front() == u'\t');
}

bool ValueIsClose(const HttpResponse& response, std::u16string_view name) {
  return EqualsIgnoringAsciiCase(TrimControlAndSpace(response.HeaderValue(name)), u"close");
}

void ReadHead(LineReader& reader, HttpResponse& response) {
  for (int interim = 0;; ++interim) {
    auto statusLine = reader.ReadLine();
    if (!statusLine) throw Failure(messages::kConnectionClosedGracefully);
    response.statusLine = std::move(*statusLine);
    response.statusCode = StatusCodeOf(response.statusLine);
    response.headerLines.clear();
    ReadHeaderBlock(reader, response.headerLines, HeaderBlockKind::kHead, kMaxHeaderLines);
    if (response.statusCode != 100 || interim == kMaxInterimResponses) return;
  }
}

void ReadBodyForStatus(LineReader& reader, ResponseBuffer& buffer, HttpResponse& response,
                       std::chrono::milliseconds redirectBodyGrace) {
  const BodyUse use = BodyUseFor(response.statusCode);
  const BodyPlan plan = PlanBody(response);
  if (use == BodyUse::kNone || plan.framing == BodyFraming::kNone) return;
  if (use == BodyUse::kDropIfAtHand && !reader.AwaitByte(redirectBodyGrace)) return;
  ReadBody(reader, plan, use == BodyUse::kKeep ? &buffer : nullptr, response);
}

}  // namespace

bool HttpResponse::ConnectionEnds() const {
  return peerClosed || ValueIsClose(*this, u"Connection") ||
         ValueIsClose(*this, u"Proxy-Connection");
}

std::u16string HttpResponse::HeaderValue(std::u16string_view name) const {
  for (std::size_t i = 0; i < headerLines.size(); ++i) {
    const std::u16string_view line = headerLines[i];
    const std::size_t colon = line.find(u':');
    if (colon == std::u16string_view::npos ||
        !EqualsIgnoringAsciiCase(line.substr(0, colon), name)) {
      continue;
    }
    std::u16string value(TrimControlAndSpace(line.substr(colon + 1)));
    for (std::size_t next = i + 1;
         next < headerLines.size() && IsContinuationLine(headerLines[next]); ++next) {
      value += u' ';
      value += TrimControlAndSpace(headerLines[next]);
    }
    return value;
  }
  return {};
}

void ReadResponse(ByteSource& source, ResponseBuffer& buffer, HttpResponse& response,
                  std::chrono::milliseconds redirectBodyGrace) {
  LineReader reader(source, kMaxResponseLineBytes);
  try {
    ReadHead(reader, response);
    ReadBodyForStatus(reader, buffer, response, redirectBodyGrace);
  } catch (...) {
    response.peerClosed = reader.PeerClosed();
    buffer.Clear();  // nothing of a failed read stays in the buffer
    throw;
  }
  response.peerClosed = reader.PeerClosed();
}

HttpResponse ReadResponse(ByteSource& source, ResponseBuffer& buffer,
                          std::chrono::milliseconds redirectBodyGrace) {
  HttpResponse response;
  ReadResponse(source, buffer, response, redirectBodyGrace);
  return response;
}

}  // namespace qelo
