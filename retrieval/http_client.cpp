#include "retrieval/http_client.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

#include "core/ascii_text.h"
#include "core/messages.h"
#include "platform/socket.h"
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

// "LOCALHOST" in any case is 127.0.0.1 and a dotted quad is taken as it stands, without asking
// the resolver; any other name goes to the system resolver.
platform::Ipv4Address ResolveHost(const std::u16string& host) {
  platform::Ipv4Address address;
  if (EqualsIgnoringAsciiCase(host, u"localhost")) return platform::Ipv4Address{{127, 0, 0, 1}};
  if (ParseDottedQuad(host, address)) return address;
  return platform::LookUpIpv4(host);
}

// ---- The messages --------------------------------------------------------------------------

struct SocketErrorText {
  int code;
  std::u16string_view text;
};

// Sorted by code.
constexpr SocketErrorText kSocketErrorTexts[] = {
    {10004, u"Interrupted system call."},
    {10009, u"Bad file number."},
    {10013, u"Access denied."},
    {10014, u"Buffer fault."},
    {10022, u"Invalid argument."},
    {10024, u"Too many open files."},
    {10035, u"Operation would block."},
    {10036, u"Operation now in progress."},
    {10037, u"Operation already in progress."},
    {10038, u"Socket operation on non-socket."},
    {10039, u"Destination address required."},
    {10040, u"Message too long."},
    {10041, u"Protocol wrong type for socket."},
    {10042, u"Bad protocol option."},
    {10043, u"Protocol not supported."},
    {10044, u"Socket type not supported."},
    {10045, u"Operation not supported on socket."},
    {10046, u"Protocol family not supported."},
    {10047, u"Address family not supported by protocol family."},
    {10048, u"Address already in use."},
    {10049, u"Cannot assign requested address."},
    {10050, u"Network is down."},
    {10051, u"Network is unreachable."},
    {10052, u"Net dropped connection or reset."},
    {10053, u"Software caused connection abort."},
    {10054, u"Connection reset by peer."},
    {10055, u"No buffer space available."},
    {10056, u"Socket is already connected."},
    {10057, u"Socket is not connected."},
    {10058, u"Cannot send or receive after socket is closed."},
    {10059, u"Too many references, cannot splice."},
    {10060, u"Connection timed out."},
    {10061, u"Connection refused."},
    {10062, u"Too many levels of symbolic links."},
    {10063, u"File name too long."},
    {10064, u"Host is down."},
    {10065, u"No route to host."},
    {10066, u"Directory not empty"},
    {11001, u"Host not found."},
};

std::u16string_view TextOf(int code) {
  const auto* found = std::lower_bound(
      std::begin(kSocketErrorTexts), std::end(kSocketErrorTexts), code,
      [](const SocketErrorText& entry, int wanted) { return entry.code < wanted; });
  if (found == std::end(kSocketErrorTexts) || found->code != code) return {};
  return found->text;
}

std::u16string DecimalText(int value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// ---- The connection ------------------------------------------------------------------------

// A reset or an abort by the peer: for the response reader an end of the connection, as the
// peer's close is, which the reader may take or fail at.
bool EndsConnection(const platform::SocketError& error) {
  const int code = error.Code();
  return code == platform::kWsaConnectionAborted || code == platform::kWsaConnectionReset ||
         code == platform::kWsaShutdown;
}

// The fetch's socket with its time limits: each wait lasts at most `eachWait`, and none reaches
// past `deadline`, the end of the whole exchange.
class SocketByteSource final : public ByteSource {
 public:
  SocketByteSource(platform::Socket& socket, std::chrono::milliseconds eachWait,
                   Clock::time_point deadline)
      : socket_(socket), eachWait_(eachWait), deadline_(deadline) {}

  void Send(const std::string& bytes) {
    socket_.SendAll(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), Wait());
  }

  Received Read(std::uint8_t* into, std::size_t capacity) override {
    if (resetCode_ != 0) return {0, resetCode_};
    const auto wait = Wait();
    if (wait.count() == 0) throw Failure(messages::kReadTimedOut);
    std::optional<std::size_t> received;
    try {
      received = socket_.ReceiveWithin(into, capacity, wait);
    } catch (const platform::SocketError& error) {
      if (!EndsConnection(error)) throw;
      return {0, error.Code()};
    }
    if (!received) throw Failure(messages::kReadTimedOut);
    return {*received, 0};
  }

  // Waits no longer than the exchange has left; false when that runs out first. A reset found
  // while waiting is at hand too: the next Read gives it.
  bool WaitReadable(std::chrono::milliseconds wait) override {
    try {
      return socket_.WaitReadable(std::min(wait, Left()));
    } catch (const platform::SocketError& error) {
      if (!EndsConnection(error)) throw;
      resetCode_ = error.Code();
      return true;
    }
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
  int resetCode_ = 0;  // of a reset that a wait found and no read has given yet
};

}  // namespace

std::u16string SocketErrorMessage(int code) {
  std::u16string message = u"Socket Error # ";
  message += DecimalText(code);
  message += u"\r\n";
  message += TextOf(code);
  return message;
}

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

// The client's hold on the network: the started socket library, and the connection the last
// exchange left open (closed before the library is cleaned up).
struct HttpClient::Connection {
  platform::SocketLibrary library;
  platform::Socket idle;
};

HttpClient::HttpClient(FetchLimits limits) : limits_(limits) {
  try {
    connection_ = std::make_unique<Connection>();
  } catch (const platform::SocketError& error) {
    throw Failure(SocketErrorMessage(error.Code()));
  }
}

HttpClient::~HttpClient() = default;

void HttpClient::FetchPage(const std::u16string& address, ResponseBuffer& buffer) {
  const PageAddress page = ParsePageAddress(address);
  const std::string head = BuildRequestHead(page);
  connection_->idle.Close();

  const auto deadline = Clock::now() + limits_.exchange;
  std::optional<platform::Socket> socket;
  HttpResponse response;
  // A failed exchange closes its socket on the way out: nothing could use it again. The
  // socket layer's failures get their text here; every other failure has its text already.
  try {
    socket = platform::Socket::Connect(ResolveHost(page.host), page.port,
                                       std::min(limits_.connect, limits_.exchange));
    if (!socket) throw Failure(messages::kConnectTimedOut);
    SocketByteSource source(*socket, limits_.eachWait, deadline);
    source.Send(head);
    response = ReadResponse(source, buffer);
  } catch (const platform::SocketError& error) {
    throw Failure(SocketErrorMessage(error.Code()));
  }

  if (response.ConnectionEnds()) {
    socket->Close();
  } else {
    connection_->idle = std::move(*socket);
  }
  if (!response.Succeeded()) throw HttpStatusFailure(response.statusLine, response.statusCode);
}

}  // namespace qelo
