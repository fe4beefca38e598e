#include "retrieval/http_client.h"

#include <algorithm>

#include "platform/socket.h"
#include "retrieval/http_response.h"
#include "retrieval/page_address.h"
#include "retrieval/request_head.h"
#include "retrieval/socket_byte_source.h"
#include "retrieval/socket_messages.h"

namespace qelo {

// The client's hold on the network: the started socket library, and the connection the last
// exchange left open (closed before the library is cleaned up).
struct HttpClient::Connection {
  platform::SocketLibrary library;
  platform::Socket idle;
};

HttpClient::HttpClient(FetchLimits limits)
    : limits_(limits),
      connection_(WithSocketMessages([] { return std::make_unique<Connection>(); })) {}

HttpClient::~HttpClient() = default;

namespace {

platform::Socket OpenConnection(const PageAddress& page, std::chrono::milliseconds timeout) {
  return platform::Socket::Connect(platform::ResolveIpv4(page.host), page.port, timeout);
}

// Sends the request and reads the response; on any failure the buffer keeps nothing of it
// (ReadResponse sees to that).
HttpResponse Exchange(platform::Socket& socket, const std::string& head, ResponseBuffer& buffer,
                      std::chrono::milliseconds eachWait,
                      SocketByteSource::Clock::time_point deadline) {
  socket.SendAll(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
  SocketByteSource source(socket, eachWait, deadline);
  return ReadResponse(source, buffer);
}

}  // namespace

void HttpClient::FetchPage(const std::u16string& address, ResponseBuffer& buffer) {
  const PageAddress page = ParsePageAddress(address);
  const std::string head = BuildRequestHead(page);
  connection_->idle.Close();

  const auto deadline = SocketByteSource::Clock::now() + limits_.exchange;
  // A failed exchange closes its socket on the way out: nothing could use it again.
  platform::Socket socket = WithSocketMessages(
      [&] { return OpenConnection(page, std::min(limits_.connect, limits_.exchange)); });
  const HttpResponse response = WithSocketMessages(
      [&] { return Exchange(socket, head, buffer, limits_.eachWait, deadline); });

  if (response.ConnectionEnds()) {
    socket.Close();
  } else {
    connection_->idle = std::move(socket);
  }
  if (!response.Succeeded()) throw HttpStatusFailure(response.statusLine, response.statusCode);
}

}  // namespace qelo
