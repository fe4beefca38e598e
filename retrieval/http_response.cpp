#include "retrieval/http_response.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "core/ascii_text.h"
#include "retrieval/end_message.h"
#include "retrieval/line_reader.h"

namespace qelo {
namespace {

// ---- The text rules of the head: trimming, case-blind search, numbers -----------------------

// Removes every character from U+0000 to U+0020 at both ends.
std::u16string_view TrimControlAndSpace(std::u16string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return text.substr(first, last - first);
}

bool ContainsIgnoringAsciiCase(std::u16string_view haystack, std::u16string_view needle) {
  for (std::size_t at = 0; at + needle.size() <= haystack.size(); ++at) {
    if (EqualsIgnoringAsciiCase(haystack.substr(at, needle.size()), needle)) return true;
  }
  return false;
}

// An optional sign and one or more decimal digits, nothing else, within a signed 64-bit number.
std::optional<std::int64_t> ReadWholeNumber(std::u16string_view text) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const bool negative = !text.empty() && text.front() == u'-';
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) text.remove_prefix(1);
  const auto magnitude = ReadDecimal(text, negative ? kMax + 1 : kMax);
  if (!magnitude) return std::nullopt;
  if (!negative) return static_cast<std::int64_t>(*magnitude);
  if (*magnitude == kMax + 1) return std::numeric_limits<std::int64_t>::min();
  return -static_cast<std::int64_t>(*magnitude);
}

// "HTTP/1.1 200 OK": the word after the first space, cut at a "." ("200.0" reads as 200); -1
// when it is no number of 32 bits.
int StatusCodeOf(std::u16string_view statusLine) {
  const std::size_t space = statusLine.find(u' ');
  if (space == std::u16string_view::npos) return -1;
  std::u16string_view word = TrimControlAndSpace(statusLine.substr(space + 1));
  word = word.substr(0, word.find(u' '));
  word = word.substr(0, word.find(u'.'));
  const auto number = ReadWholeNumber(word);
  if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
      *number > std::numeric_limits<std::int32_t>::max()) {
    return -1;
  }
  return static_cast<int>(*number);
}

// The number before any chunk extension; 0, which ends the body, when it is not hexadecimal.
std::int64_t ChunkSizeOf(std::u16string_view sizeLine) {
  const auto size = ReadDigits(TrimControlAndSpace(sizeLine.substr(0, sizeLine.find(u';'))), 16,
                               std::numeric_limits<std::int64_t>::max());
  return static_cast<std::int64_t>(size.value_or(0));
}

// ---- Header blocks: the response head's and a chunked body's trailer -----------------------

enum class HeaderBlockKind {
  kHead,     // a close after the first line ends the block; before it, the fetch fails
  kTrailer,  // a close anywhere is a close inside the chunked body and fails the fetch
};

// Appends the lines up to the first empty line to `lines`. At most kMaxHeaderLines are taken:
// the line read after them is dropped and the block ends as if the empty line had come.
void ReadHeaderBlock(LineReader& reader, std::vector<std::u16string>& lines, HeaderBlockKind kind) {
  for (int taken = 0;; ++taken) {
    auto line = reader.ReadLine();
    if (!line) {
      if (kind == HeaderBlockKind::kHead && taken > 0) return;
      ThrowEnd(kPeerClosed);
    }
    if (line->empty() || taken == kMaxHeaderLines) return;
    lines.push_back(std::move(*line));
  }
}

// ---- Body framings ---------------------------------------------------------------------------

// Where body bytes go: appended to the buffer, or dropped block by block when it is null.
struct BodySink {
  LineReader& reader;
  ResponseBuffer* keepInto;
  std::int64_t announced;  // the Content-Length of a body framed by it, else 0

  // At most `most` bytes; 0 once the connection has ended.
  std::size_t Take(std::size_t most) {
    const auto bytes = reader.ReadBody(most);
    if (keepInto)
      keepInto->Append(bytes.data(), bytes.size(), static_cast<std::uint64_t>(announced));
    return bytes.size();
  }
};

// Exactly `length` bytes: false when the connection ended before the last.
bool ReadByLength(BodySink& body, std::int64_t length) {
  for (std::int64_t left = length; left > 0;) {
    const std::size_t taken = body.Take(static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(kReceiveBlockBytes))));
    if (taken == 0) return false;
    left -= static_cast<std::int64_t>(taken);
  }
  return true;
}

void ReadChunked(BodySink& body, HttpResponse& response) {
  for (;;) {
    const auto sizeLine = body.reader.ReadLine();
    if (!sizeLine) ThrowEnd(kPeerClosed);
    const std::int64_t size = ChunkSizeOf(*sizeLine);
    if (size == 0) break;
    // Inside a chunk's data a reset counts as a close, as the peer's close does.
    if (!ReadByLength(body, size)) ThrowEnd(kPeerClosed);
    if (!body.reader.ReadLine()) ThrowEnd(kPeerClosed);  // the line end after the chunk data
  }
  ReadHeaderBlock(body.reader, response.headerLines, HeaderBlockKind::kTrailer);
}

enum class BodyFraming { kNone, kChunked, kLength, kUntilClose };

struct BodyPlan {
  BodyFraming framing = BodyFraming::kNone;
  std::int64_t length = 0;  // for kLength
};

// Chunked when Transfer-Encoding names it, else by a Content-Length of 1 or more, none for a
// Content-Length of 0, else up to the peer's close.
BodyPlan PlanBody(const HttpResponse& response) {
  if (ContainsIgnoringAsciiCase(response.HeaderValue(u"Transfer-Encoding"), u"chunked")) {
    return {BodyFraming::kChunked, 0};
  }
  const std::u16string value = response.HeaderValue(u"Content-Length");
  const std::int64_t length = ReadWholeNumber(TrimControlAndSpace(value)).value_or(-1);
  if (length > 0) return {BodyFraming::kLength, length};
  if (length == 0) return {BodyFraming::kNone, 0};
  return {BodyFraming::kUntilClose, 0};
}

void ReadBody(BodySink body, const BodyPlan& plan, HttpResponse& response) {
  switch (plan.framing) {
    case BodyFraming::kChunked:
      ReadChunked(body, response);
      break;
    case BodyFraming::kLength:
      // A body cut short is no page, whether by a close or by a reset.
      if (!ReadByLength(body, plan.length)) body.reader.FailAtEnd();
      break;
    case BodyFraming::kUntilClose:
      // Only the peer's orderly close ends the body; a reset fails it.
      while (body.Take(kReceiveBlockBytes) > 0) {
      }
      if (body.reader.EndedByReset()) body.reader.FailAtEnd();
      break;
    case BodyFraming::kNone:
      break;
  }
}

// ---- The head and what the status does with the body ----------------------------------------

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

void ReadHead(LineReader& reader, HttpResponse& response) {
  for (int interim = 0;; ++interim) {
    auto statusLine = reader.ReadLine();
    if (!statusLine) ThrowEnd(kPeerClosed);
    response.statusLine = std::move(*statusLine);
    response.statusCode = StatusCodeOf(response.statusLine);
    response.headerLines.clear();
    ReadHeaderBlock(reader, response.headerLines, HeaderBlockKind::kHead);
    if (response.statusCode != 100 || interim == kMaxInterimResponses) return;
  }
}

void ReadBodyForStatus(LineReader& reader, ResponseBuffer& buffer, HttpResponse& response) {
  const BodyUse use = BodyUseFor(response.statusCode);
  const BodyPlan plan = PlanBody(response);
  if (use == BodyUse::kNone || plan.framing == BodyFraming::kNone) return;
  if (use == BodyUse::kDropIfAtHand && !reader.AwaitByte(kRedirectBodyGrace)) return;
  ReadBody({reader, use == BodyUse::kKeep ? &buffer : nullptr, plan.length}, plan, response);
}

bool IsContinuationLine(std::u16string_view line) {
  return !line.empty() && (line.front() == u' ' || line.front() == u'\t');
}

bool ValueIsClose(const HttpResponse& response, std::u16string_view name) {
  return EqualsIgnoringAsciiCase(TrimControlAndSpace(response.HeaderValue(name)), u"close");
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

HttpResponse ReadResponse(ByteSource& source, ResponseBuffer& buffer) {
  LineReader reader(source);
  HttpResponse response;
  try {
    ReadHead(reader, response);
    ReadBodyForStatus(reader, buffer, response);
  } catch (...) {
    buffer.Clear();  // nothing of a failed read stays in the buffer
    throw;
  }
  response.peerClosed = reader.Ended();
  return response;
}

}  // namespace qelo
