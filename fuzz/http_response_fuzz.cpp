// The response reader fed from bytes. The first bytes of the input set up the run, the rest is
// what the server sends:
//   byte 0: bits 0-2 pick the response buffer's cap, bits 3-4 how the script ends (close, reset,
//           another socket error, a read time-out), bit 5 what WaitReadable answers
//   bytes 1-4: the sizes of the Read() chunks, used in turn (0 means: everything that is left)
// With the peer's close as the end, a reference reader must agree on the outcome, status, head
// and body. Checked for every ending: only a Failure escapes, with a message the fetch gives; the
// buffer never holds more than its cap nor anything after a failure or for a failure status; lines
// hold no line feed, no more than 16384 bytes, and only ASCII or U+FFFD; the reader stops reading
// once it has seen the end.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/failure.h"
#include "platform/socket.h"
#include "retrieval/http_response.h"
#include "retrieval/response_buffer.h"

namespace {

constexpr std::size_t kCaps[] = {0, 1, 5, 64, 1000, 4096, 70000, qelo::kMaxResponseBytes};
constexpr std::size_t kSetupBytes = 5;

enum class Ending { kClose, kReset, kOtherError, kTimeOut };

class FuzzByteSource : public qelo::ByteSource {
 public:
  FuzzByteSource(const std::uint8_t* data, std::size_t size, const std::uint8_t* chunkSizes,
                 Ending ending, bool readable)
      : data_(data), size_(size), chunkSizes_(chunkSizes), ending_(ending), readable_(readable) {}

  qelo::platform::Received Read(std::uint8_t* into, std::size_t capacity) override {
    if (capacity == 0) std::abort();  // a read that cannot take anything would spin
    if (offset_ == size_) return End();
    std::size_t chunk = chunkSizes_[nextChunk_++ % 4];
    if (chunk == 0) chunk = size_ - offset_;
    chunk = std::min({chunk, capacity, size_ - offset_});
    std::copy(data_ + offset_, data_ + offset_ + chunk, into);
    offset_ += chunk;
    return {chunk, {}};
  }

  bool WaitReadable(std::chrono::milliseconds) override { return offset_ < size_ || readable_; }

 private:
  qelo::platform::Received End() {
    using qelo::platform::SocketEnd;
    // A reader that keeps reading after the end would never finish against a real peer.
    if (++readsAtEnd_ > 3) std::abort();
    switch (ending_) {
      case Ending::kClose:
        return {0, {SocketEnd::kClosed}};
      case Ending::kReset:
        return {0, {SocketEnd::kFailed, 10054}};
      case Ending::kOtherError:
        return {0, {SocketEnd::kFailed, 10060}};
      case Ending::kTimeOut:
        return {0, {SocketEnd::kTimedOut}};
    }
    return {0, {SocketEnd::kClosed}};
  }

  const std::uint8_t* data_;
  std::size_t size_;
  const std::uint8_t* chunkSizes_;
  Ending ending_;
  bool readable_;
  std::size_t offset_ = 0;
  std::size_t nextChunk_ = 0;
  int readsAtEnd_ = 0;
};

bool StartsWith(const std::u16string& text, std::u16string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsReaderMessage(const std::u16string& message) {
  return message == u"Connection Closed Gracefully." || message == u"Max line length exceeded." ||
         message == u"Response too large." || message == u"Read timed out." ||
         StartsWith(message, u"Socket Error # ");
}

void CheckLine(const std::u16string& line) {
  if (line.size() > qelo::kMaxResponseLineBytes) std::abort();
  for (const char16_t c : line) {
    if (c == u'\n' || (c >= 0x80 && c != 0xFFFD)) std::abort();
  }
}

void CheckResponse(const qelo::HttpResponse& response) {
  CheckLine(response.statusLine);
  // The head's 255 lines plus at most 255 of a trailer.
  if (response.headerLines.size() > 2 * static_cast<std::size_t>(qelo::kMaxHeaderLines)) {
    std::abort();
  }
  for (const auto& line : response.headerLines) CheckLine(line);
}

// A reference reader written straight from the rules, for a script that ends with the peer's
// close; the real reader must agree with it on the outcome, the head and the body.
class ReferenceReader {
 public:
  struct Result {
    std::optional<std::u16string> failure;
    int statusCode = -1;
    std::u16string statusLine;
    std::vector<std::u16string> headerLines;
    std::string body;
  };

  ReferenceReader(const std::uint8_t* data, std::size_t size, std::size_t cap)
      : bytes_(reinterpret_cast<const char*>(data), size), cap_(cap) {}

  Result Run() {
    try {
      ReadHead();
      ReadBodyForStatus();
    } catch (const Failed& failed) {
      result_.failure = failed.message;
      result_.body.clear();
    }
    return result_;
  }

 private:
  struct Failed {
    std::u16string message;
  };

  [[noreturn]] static void Fail(std::u16string message) { throw Failed{std::move(message)}; }

  std::optional<std::u16string> Line() {
    const std::size_t lf = bytes_.find('\n', at_);
    const std::size_t length = (lf == std::string::npos ? bytes_.size() : lf) - at_;
    if (length > qelo::kMaxResponseLineBytes) Fail(u"Max line length exceeded.");
    if (lf == std::string::npos) {
      at_ = bytes_.size();
      return std::nullopt;
    }
    std::string line = bytes_.substr(at_, length);
    at_ = lf + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::u16string text;
    for (const char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      text += byte < 0x80 ? char16_t(byte) : u'\uFFFD';
    }
    return text;
  }

  static std::u16string Trim(std::u16string text) {
    while (!text.empty() && text.back() <= u' ') text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && text[first] <= u' ') ++first;
    return text.substr(first);
  }

  static std::u16string Lower(std::u16string text) {
    for (char16_t& c : text) {
      if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    }
    return text;
  }

  // Digits of `base`, after an optional sign when decimal; nothing when they are not.
  static std::optional<long double> Number(const std::u16string& text, int base) {
    std::size_t i = 0;
    bool negative = false;
    if (base == 10 && i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
      negative = text[i] == u'-';
      ++i;
    }
    if (i == text.size()) return std::nullopt;
    long double value = 0;
    for (; i < text.size(); ++i) {
      const char16_t c = text[i];
      int digit = -1;
      if (c >= u'0' && c <= u'9') digit = c - u'0';
      if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
      if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
      if (digit < 0) return std::nullopt;
      value = value * base + digit;
      if (value > 9.3e18L) return std::nullopt;  // far beyond 64 bits either way
    }
    return negative ? -value : value;
  }

  static std::optional<std::int64_t> Int64(const std::u16string& text, int base) {
    const auto value = Number(text, base);
    if (!value || *value > 9223372036854775807.0L || *value < -9223372036854775808.0L) return {};
    return static_cast<std::int64_t>(*value);
  }

  static int StatusCode(const std::u16string& line) {
    const std::size_t space = line.find(u' ');
    if (space == std::u16string::npos) return -1;
    std::u16string word = Trim(line.substr(space + 1));
    word = word.substr(0, word.find(u' '));
    word = word.substr(0, word.find(u'.'));
    const auto value = Int64(word, 10);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) return -1;
    return static_cast<int>(*value);
  }

  std::u16string Header(const std::u16string& name) const {
    const auto& lines = result_.headerLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::size_t colon = lines[i].find(u':');
      if (colon == std::u16string::npos || Lower(lines[i].substr(0, colon)) != Lower(name)) {
        continue;
      }
      std::u16string value = Trim(lines[i].substr(colon + 1));
      for (std::size_t k = i + 1;
           k < lines.size() && !lines[k].empty() && (lines[k][0] == u' ' || lines[k][0] == u'\t');
           ++k) {
        value += u' ' + Trim(lines[k]);
      }
      return value;
    }
    return {};
  }

  void Block(bool head) {
    for (int taken = 0;; ++taken) {
      const auto line = Line();
      if (!line) {
        if (head && taken > 0) return;
        Fail(u"Connection Closed Gracefully.");
      }
      if (line->empty() || taken == qelo::kMaxHeaderLines) return;
      result_.headerLines.push_back(*line);
    }
  }

  void ReadHead() {
    for (int interim = 0;; ++interim) {
      const auto status = Line();
      if (!status) Fail(u"Connection Closed Gracefully.");
      result_.statusLine = *status;
      result_.statusCode = StatusCode(*status);
      result_.headerLines.clear();
      Block(true);
      if (result_.statusCode != 100 || interim == qelo::kMaxInterimResponses) return;
    }
  }

  void Take(std::size_t count) {
    const std::size_t n = std::min(count, bytes_.size() - at_);
    if (keep_) {
      result_.body.append(bytes_, at_, n);
      if (result_.body.size() > cap_) Fail(u"Response too large.");
    }
    at_ += n;
  }

  void ReadBodyForStatus() {
    const int code = result_.statusCode;
    if (code == 204 || code == 304 || (code >= 100 && code <= 199)) return;
    keep_ = code >= 200 && code <= 299;
    const bool chunked =
        Lower(Header(u"Transfer-Encoding")).find(u"chunked") != std::u16string::npos;
    const std::int64_t length = Int64(Trim(Header(u"Content-Length")), 10).value_or(-1);
    if (!chunked && length == 0) return;
    if (code >= 300 && code <= 399 && at_ == bytes_.size()) return;  // nothing at hand
    if (!chunked && length < 0) return Take(bytes_.size());
    if (!chunked) {
      // A body with a length must arrive whole.
      const bool whole = static_cast<std::uint64_t>(length) <= bytes_.size() - at_;
      Take(static_cast<std::size_t>(length));
      if (!whole) Fail(u"Connection Closed Gracefully.");
      return;
    }
    for (;;) {
      const auto sizeLine = Line();
      if (!sizeLine) Fail(u"Connection Closed Gracefully.");
      const std::int64_t chunk =
          Int64(Trim(sizeLine->substr(0, sizeLine->find(u';'))), 16).value_or(0);
      if (chunk <= 0) break;
      if (static_cast<std::uint64_t>(chunk) > bytes_.size() - at_) {
        Take(bytes_.size());
        Fail(u"Connection Closed Gracefully.");
      }
      Take(static_cast<std::size_t>(chunk));
      if (!Line()) Fail(u"Connection Closed Gracefully.");
    }
    Block(false);
  }

  std::string bytes_;
  std::size_t cap_;
  std::size_t at_ = 0;
  bool keep_ = false;
  Result result_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kSetupBytes) return 0;
  const std::size_t cap = kCaps[data[0] & 7];
  const auto ending = static_cast<Ending>((data[0] >> 3) & 3);
  const bool readable = (data[0] >> 5) & 1;
  const std::uint8_t* payload = data + kSetupBytes;
  const std::size_t payloadSize = size - kSetupBytes;

  FuzzByteSource source(payload, payloadSize, data + 1, ending, readable);
  qelo::ResponseBuffer buffer(qelo::kCodePageUtf8, cap);
  qelo::HttpResponse response;
  std::optional<std::u16string> failure;
  try {
    response = qelo::ReadResponse(source, buffer);
  } catch (const qelo::Failure& thrown) {
    failure = thrown.Message();
  }
  const bool failed = failure.has_value();
  if (failed && !IsReaderMessage(*failure)) std::abort();
  CheckResponse(response);
  if (buffer.Bytes().size() > cap || buffer.Bytes().size() > payloadSize) std::abort();
  if ((failed || !response.Succeeded()) && !buffer.Bytes().empty()) std::abort();
  (void)response.ConnectionEnds();
  (void)buffer.Text();

  if (ending == Ending::kClose) {
    const auto expected = ReferenceReader(payload, payloadSize, cap).Run();
    if (failure != expected.failure) std::abort();
    // A failed read returns no response to compare.
    if (!failed &&
        (response.statusLine != expected.statusLine || response.statusCode != expected.statusCode ||
         response.headerLines != expected.headerLines)) {
      std::abort();
    }
    const std::string body(buffer.Bytes().begin(), buffer.Bytes().end());
    if (body != expected.body) std::abort();
  }
  return 0;
}
