#include "tools/emulator/forecast_replies.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "citydir/unit_china_weather.h"
#include "core/text.h"

namespace qelo::emulator {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kPrefix = "/weather/";
constexpr std::string_view kSuffix = ".shtml";
constexpr std::string_view kHtmlType = "Content-Type: text/html; charset=utf-8\r\n";
// The slow mode sends the page in this many pieces with this pause between them: well under
// the client's per-read wait, and the whole reply within about two seconds.
constexpr std::size_t kSlowPieces = 40;
constexpr milliseconds kSlowPause{50};

bool IsCityCode(std::string_view code) {
  const std::u16string wanted = FromUtf8(code);
  for (int row = 1; row <= UnitChinaWeather::CityCount; ++row) {
    if (UnitChinaWeather::CityCode(row) == wanted) return true;
  }
  return false;
}

std::string Head(std::string_view statusLine, std::string_view fields) {
  std::string head(statusLine);
  head += "\r\nServer: forecast_emulator\r\n";
  head += fields;
  head += "\r\n";
  return head;
}

std::string LengthField(std::size_t length) {
  return "Content-Length: " + std::to_string(length) + "\r\n";
}

// Chunks of varying sizes, one of them with an extension, then the last chunk and a trailer.
std::string ChunkedBody(const std::string& page) {
  std::string body;
  std::size_t offset = 0;
  std::size_t size = 1000;
  bool extension = true;
  while (offset < page.size()) {
    const std::size_t take = std::min(size, page.size() - offset);
    char line[32];
    std::snprintf(line, sizeof line, "%zx", take);
    body += line;
    if (extension) body += ";piece=first";
    extension = false;
    body += "\r\n";
    body.append(page, offset, take);
    body += "\r\n";
    offset += take;
    size = size * 3 % 7919 + 512;
  }
  body += "0\r\nX-Trailer: done\r\n\r\n";
  return body;
}

Reply SlowReply(const std::string& head, const std::string& page) {
  Reply reply;
  reply.pieces.push_back(head);
  const std::size_t piece = page.size() / kSlowPieces + 1;
  for (std::size_t offset = 0; offset < page.size(); offset += piece) {
    reply.pieces.push_back(page.substr(offset, piece));
  }
  reply.pauseBetweenPieces = kSlowPause;
  reply.keepAlive = false;
  return reply;
}

}  // namespace

std::optional<Request> ParseRequest(std::string head) {
  const std::string line = head.substr(0, head.find_first_of("\r\n"));
  const auto firstSpace = line.find(' ');
  if (firstSpace == std::string::npos) return std::nullopt;
  const auto secondSpace = line.find(' ', firstSpace + 1);
  if (secondSpace == std::string::npos) return std::nullopt;
  return Request{line.substr(0, firstSpace),
                 line.substr(firstSpace + 1, secondSpace - firstSpace - 1), std::move(head)};
}

bool SendReply(test::LoopbackConnection& connection, const Reply& reply) {
  for (std::size_t i = 0; i < reply.pieces.size(); ++i) {
    if (i > 0) connection.ReadUntil(reply.pauseBetweenPieces, [] { return false; });
    if (!connection.Send(reply.pieces[i])) return false;
  }
  return !reply.sharedBody || connection.Send(*reply.sharedBody);
}

std::optional<std::string> CityCodeOfTarget(std::string_view target) {
  if (!target.starts_with(kPrefix) || !target.ends_with(kSuffix)) return std::nullopt;
  const std::string_view code =
      target.substr(kPrefix.size(), target.size() - kPrefix.size() - kSuffix.size());
  if (code.size() != 9 || !IsCityCode(code)) return std::nullopt;
  return std::string(code);
}

Reply PageReply(Mode mode, const std::string& page) {
  const std::string ok = "HTTP/1.1 200 OK";
  Reply reply;
  switch (mode) {
    case Mode::kChunked:
      reply.pieces = {Head(ok, std::string(kHtmlType) + "Transfer-Encoding: chunked\r\n" +
                                   "Connection: keep-alive\r\n"),
                      ChunkedBody(page)};
      reply.keepAlive = true;
      return reply;
    case Mode::kUntilClose:
      reply.pieces = {Head(ok, std::string(kHtmlType) + "Connection: close\r\n"), page};
      return reply;
    case Mode::kSlow:
      return SlowReply(
          Head(ok, std::string(kHtmlType) + LengthField(page.size()) + "Connection: close\r\n"),
          page);
    default:
      reply.pieces = {Head(ok, std::string(kHtmlType) + LengthField(page.size()) +
                                   "Connection: keep-alive\r\n") +
                      page};
      reply.keepAlive = true;
      return reply;
  }
}

Reply SharedPageReply(std::shared_ptr<const std::string> page) {
  Reply reply;
  reply.pieces = {Head("HTTP/1.1 200 OK", std::string(kHtmlType) + LengthField(page->size()) +
                                              "Connection: keep-alive\r\n")};
  reply.sharedBody = std::move(page);
  reply.keepAlive = true;
  return reply;
}

Reply Trickled(Reply reply, std::size_t pieces) {
  std::string bytes;
  for (const std::string& piece : reply.pieces) bytes += piece;
  if (reply.sharedBody) bytes += *reply.sharedBody;
  reply.sharedBody.reset();
  reply.pieces.clear();
  const std::size_t size = bytes.size() / pieces + 1;
  for (std::size_t offset = 0; offset < bytes.size(); offset += size) {
    reply.pieces.push_back(bytes.substr(offset, size));
  }
  reply.pauseBetweenPieces = kSlowPause;
  return reply;
}

Reply NotFoundReply() {
  const std::string body =
      "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>\n"
      "<body><h1>Not Found</h1><p>The requested page does not exist.</p></body></html>\n";
  Reply reply;
  reply.pieces = {Head("HTTP/1.1 404 Not Found", std::string(kHtmlType) + LengthField(body.size()) +
                                                     "Connection: close\r\n") +
                  body};
  return reply;
}

}  // namespace qelo::emulator
