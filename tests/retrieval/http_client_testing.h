#pragma once
// Running one fetch against a scripted loopback server in the fetch tests.

#include <gtest/gtest.h>
#include <chrono>
#include <optional>
#include <string>

#include "core/text.h"
#include "retrieval/http_client.h"
#include "tests/support/script_server.h"

namespace qelo::test {

using namespace std::chrono_literals;

// Limits short enough that a server which stalls is given up within seconds.
constexpr FetchLimits kShortLimits{.connect = 2s, .eachWait = 300ms, .exchange = 1500ms};

struct FetchOutcome {
  std::string body;                       // what the response buffer holds afterwards
  std::optional<std::u16string> failure;  // the message when the fetch threw
  int statusCode = 0;                     // the code carried by a status failure
  std::chrono::milliseconds took{0};
  std::size_t capacity = 0;  // of the buffer afterwards
};

inline FetchOutcome FetchWith(HttpClient& client, const std::u16string& address,
                              std::size_t maxBytes = kMaxResponseBytes) {
  FetchOutcome outcome;
  ResponseBuffer buffer(kCodePageUtf8, maxBytes);
  const auto start = std::chrono::steady_clock::now();
  try {
    client.FetchPage(address, buffer);
  } catch (const HttpStatusFailure& failure) {
    outcome.failure = failure.Message();
    outcome.statusCode = failure.StatusCode();
  } catch (const Failure& failure) {
    outcome.failure = failure.Message();
  }
  outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  outcome.body.assign(buffer.Bytes().begin(), buffer.Bytes().end());
  outcome.capacity = buffer.Bytes().capacity();
  return outcome;
}

inline FetchOutcome Fetch(const std::u16string& address, FetchLimits limits = {},
                          std::size_t maxBytes = kMaxResponseBytes) {
  HttpClient client(limits);
  return FetchWith(client, address, maxBytes);
}

// The request head the client sends for `target` to the server on `port`.
inline std::string ExpectedHead(const std::string& target, const std::string& host) {
  return "GET " + target +
         " HTTP/1.1\r\n"
         "Host: " +
         host +
         "\r\n"
         "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
         "Accept-Encoding: identity\r\n"
         "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
         "\r\n";
}

inline std::string LoopbackHost(const ScriptServer& server) {
  return "127.0.0.1:" + std::to_string(server.Port());
}

// A number as text, for the ports and codes in addresses and messages.
inline std::u16string Decimal(long long value) { return FromUtf8(std::to_string(value)); }

// A server that reads the request, answers with `response`, then takes step `last`.
inline std::vector<Step> Answer(std::string response, Step last = Step::Close()) {
  return {Step::AwaitRequest(), Step::Send(std::move(response)), std::move(last)};
}

}  // namespace qelo::test
