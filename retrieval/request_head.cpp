#include "retrieval/request_head.h"

namespace qelo {

namespace {

void AppendAscii(std::string& head, std::u16string_view text) {
  for (char16_t c : text) head.push_back(c <= 0x7F ? static_cast<char>(c) : '?');
}

void AppendHeader(std::string& head, const char* name, std::string_view value) {
  head += name;
  head += ": ";
  head += value;
  head += "\r\n";
}

}  // namespace

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

}  // namespace qelo
