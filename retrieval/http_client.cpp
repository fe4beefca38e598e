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

HttpClient::HttpClient(FetchLimits limits) : limits_(limits) {
  try {
    connection_ = std::make_unique<Connection>();
  } catch (const platform::SocketError& error) {
    throw platform::Failure(SocketErrorMessage(error.Code()));
  }
}

HttpClient::~HttpClient() = default;

namespace {

platform::Socket OpenConnection(const PageAddress& page, std::chrono::milliseconds timeout) {
  try {
    return platform::Socket::Connect(platform::ResolveIpv4(page.host), page.port, timeout);
  } catch (const platform::SocketError& error) {
    throw platform::Failure(SocketErrorMessage(error.Code()));
  }
}

// Sends the request and reads the response; on any failure the buffer keeps nothing of it.
HttpResponse Exchange(platform::Socket& socket, const std::string& head, ResponseBuffer& buffer,
                      std::chrono::milliseconds eachWait,
                      SocketByteSource::Clock::time_point deadline) {
  try {
    socket.SendAll(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
    SocketByteSource source(socket, eachWait, deadline);
    return ReadResponse(source, buffer);
  } catch (const platform::SocketError& error) {
    buffer.Clear();
    throw platform::Failure(SocketErrorMessage(error.Code()));
  } catch (...) {
    buffer.Clear();
    throw;
  }
}

}  // namespace

void HttpClient::FetchPage(const std::u16string& address, ResponseBuffer& buffer) {
  const PageAddress page = ParsePageAddress(address);
  const std::string head = BuildRequestHead(page);
  connection_->idle.Close();

  const auto deadline = SocketByteSource::Clock::now() + limits_.exchange;
  // A failed exchange closes its socket on the way out: nothing could use it again.
  platform::Socket socket = OpenConnection(page, std::min(limits_.connect, limits_.exchange));
  const HttpResponse response = Exchange(socket, head, buffer, limits_.eachWait, deadline);

  if (response.ConnectionEnds()) {
    socket.Close();
  } else {
    connection_->idle = std::move(socket);
  }
  if (!response.Succeeded()) throw HttpStatusFailure(response.statusLine, response.statusCode);
}

}  // namespace qelo
