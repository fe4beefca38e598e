#include "retrieval/http_client.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "core/ascii_text.h"
#include "core/messages.h"
#include "platform/socket.h"
#include "retrieval/end_message.h"
#include "retrieval/http_response.h"

namespace qelo {
namespace {

using Clock = std::chrono::steady_clock;

// ---- The address, the host and the request head --------------------------------------------

constexpr char kAcceptValue[] = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
constexpr char kUserAgentValue[] = "Mozilla/3.0 (compatible; Indy Library)";

// At most five decimal digits (so "000080" is refused) for a port from 1 to 65535.
std::uint16_t ParsePort(std::u16string_view digits) {
  const auto value = digits.size() > 5 ? std::nullopt : ReadDecimal(digits, 65535);
  if (!value || *value == 0) throw Failure(messages::kMalformedAddress);
  return static_cast<std::uint16_t>(*value);
}

void AppendAscii(std::string& head, std::u16string_view text) {
  for (char16_t c : text) head.push_back(c <= 0x7F ? static_cast<char>(c) : '?');
}

void AppendHeader(std::string& head, const char* name, std::string_view value) {
  head += name;
  head += ": ";
  head += value;
  head += "\r\n";
}

// ---- The connection ------------------------------------------------------------------------

// The fetch's socket with its time limits: each wait lasts at most `eachWait`, and none reaches
// past `deadline`, the end of the whole exchange.
class SocketByteSource final : public ByteSource {
 public:
  SocketByteSource(platform::Socket& socket, std::chrono::milliseconds eachWait,
                   Clock::time_point deadline)
      : socket_(socket), eachWait_(eachWait), deadline_(deadline) {}

  platform::SocketEnd Send(const std::string& bytes) {
    return socket_.SendAll(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           Wait());
  }

  platform::Received Read(std::uint8_t* into, std::size_t capacity) override {
    const auto wait = Wait();
    if (wait.count() == 0) return {0, {platform::SocketEnd::kTimedOut}};
    return socket_.Receive(into, capacity, wait);
  }

  // Waits no longer than the exchange has left; false when that runs out first.
  bool WaitReadable(std::chrono::milliseconds wait) override {
    return socket_.WaitReadable(std::min(wait, Left()));
  }

 private:
  std::chrono::milliseconds Left() const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
    return std::max(left, std::chrono::milliseconds{0});
  }
  std::chrono::milliseconds Wait() const { return std::min(eachWait_, Left()); }

  platform::Socket& socket_;
  std::chrono::milliseconds eachWait_;
  Clock::time_point deadline_;
};

void ThrowIfEnded(const platform::SocketEnd& end) {
  if (end.kind != platform::SocketEnd::kNone) ThrowEnd(end);
}

// "LOCALHOST" in any case is 127.0.0.1 and a dotted quad is taken as it stands, without asking
// the resolver; any other name goes to the system resolver. A name with a NUL inside is not
// found: the resolver's C interface would cut it short and look up another host.
platform::Ipv4Address ResolveHost(const std::u16string& host) {
  platform::Ipv4Address address;
  if (EqualsIgnoringAsciiCase(host, u"localhost")) return platform::Ipv4Address{{127, 0, 0, 1}};
  if (ParseDottedQuad(host, address)) return address;
  if (host.find(u'\0') != std::u16string::npos) {
    ThrowEnd({platform::SocketEnd::kFailed, platform::kWsaHostNotFound});
  }
  ThrowIfEnded(platform::LookUpIpv4(host, address));
  return address;
}

}  // namespace

PageAddress ParsePageAddress(const std::u16string& address) {
  const std::size_t separator = address.find(u"://");
  if (separator == std::u16string::npos ||
      !EqualsIgnoringAsciiCase(std::u16string_view(address).substr(0, separator), u"http")) {
    throw Failure(messages::kNotHttpAddress);
  }
  const std::size_t hostStart = separator + 3;
  const std::size_t pathStart = address.find(u'/', hostStart);
  PageAddress page;
  page.hostHeader = address.substr(hostStart, pathStart - hostStart);
  page.target = pathStart == std::u16string::npos ? u"/" : address.substr(pathStart);

  const std::size_t colon = page.hostHeader.find(u':');
  page.host = page.hostHeader.substr(0, colon);
  if (colon != std::u16string::npos) {
    page.port = ParsePort(std::u16string_view(page.hostHeader).substr(colon + 1));
  }
  if (page.host.empty()) throw Failure(messages::kMalformedAddress);
  return page;
}

std::string BuildRequestHead(const PageAddress& page) {
  std::string head = "GET ";
  AppendAscii(head, page.target);
  head += " HTTP/1.1\r\nHost: ";
  AppendAscii(head, page.hostHeader);
  head += "\r\n";
  AppendHeader(head, "Accept", kAcceptValue);
  AppendHeader(head, "Accept-Encoding", "identity");
  AppendHeader(head, "User-Agent", kUserAgentValue);
  head += "\r\n";
  return head;
}

bool ParseDottedQuad(const std::u16string& text, platform::Ipv4Address& address) {
  platform::Ipv4Address parsed;
  std::u16string_view rest = text;
  for (std::size_t part = 0; part < 4; ++part) {
    // The last number runs to the end of the text, so that a fifth part makes it no number.
    const std::size_t end = part < 3 ? rest.find(u'.') : rest.size();
    if (end == std::u16string_view::npos) return false;
    const auto value = ReadDecimal(rest.substr(0, end), 255);
    if (!value) return false;
    parsed.bytes[part] = static_cast<std::uint8_t>(*value);
    rest.remove_prefix(part < 3 ? end + 1 : end);
  }
  address = parsed;
  return true;
}

HttpClient::HttpClient(FetchLimits limits) : limits_(limits) { ThrowIfEnded(library_.Started()); }

void HttpClient::FetchPage(const std::u16string& address, ResponseBuffer& buffer) {
  const PageAddress page = ParsePageAddress(address);
  const std::string head = BuildRequestHead(page);
  idle_.Close();

  const auto deadline = Clock::now() + limits_.exchange;
  // A failed exchange closes its socket on the way out: nothing could use it again.
  platform::Socket socket;
  const platform::SocketEnd connected = socket.Connect(ResolveHost(page.host), page.port,
                                                       std::min(limits_.connect, limits_.exchange));
  if (connected.kind == platform::SocketEnd::kTimedOut) throw Failure(messages::kConnectTimedOut);
  ThrowIfEnded(connected);
  SocketByteSource source(socket, limits_.eachWait, deadline);
  ThrowIfEnded(source.Send(head));
  const HttpResponse response = ReadResponse(source, buffer);

  if (response.ConnectionEnds()) {
    socket.Close();
  } else {
    idle_ = std::move(socket);
  }
  if (!response.Succeeded()) throw HttpStatusFailure(response.statusLine, response.statusCode);
}

}  // namespace qelo
