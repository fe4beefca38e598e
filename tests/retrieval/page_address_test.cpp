// Page addresses the client refuses before it touches the network, and the dotted-quad rule of
// the resolver.

#include <gtest/gtest.h>

#include <thread>

#include "core/messages.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tests/retrieval/http_client_testing.h"

namespace qelo::test {
namespace {

constexpr char kOk[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

struct RejectedAddress {
  std::u16string address;
  std::u16string message;
};

class FetchRejectsAddress : public ::testing::TestWithParam<RejectedAddress> {};

TEST_P(FetchRejectsAddress, BeforeTouchingTheNetwork) {
  ScriptServer server(Answer(kOk));
  std::u16string address = GetParam().address;
  std::u16string port;
  for (char digit : std::to_string(server.Port())) port.push_back(char16_t(digit));
  if (auto at = address.find(u"PORT"); at != std::u16string::npos) address.replace(at, 4, port);

  const FetchOutcome outcome = Fetch(address);

  EXPECT_EQ(outcome.failure, GetParam().message);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(server.AcceptedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, FetchRejectsAddress,
    ::testing::Values(RejectedAddress{u"https://127.0.0.1:PORT/x", messages::kNotHttpAddress},
                      RejectedAddress{u"ftp://127.0.0.1:PORT/x", messages::kNotHttpAddress},
                      RejectedAddress{u"127.0.0.1:PORT/x", messages::kNotHttpAddress},
                      RejectedAddress{u"", messages::kNotHttpAddress},
                      RejectedAddress{u"http:///x", messages::kMalformedAddress},
                      RejectedAddress{u"http://:PORT/x", messages::kMalformedAddress},
                      RejectedAddress{u"http://127.0.0.1:/x", messages::kMalformedAddress},
                      RejectedAddress{u"http://127.0.0.1:PORTx/x", messages::kMalformedAddress},
                      RejectedAddress{u"http://127.0.0.1:99999/x", messages::kMalformedAddress},
                      RejectedAddress{u"http://127.0.0.1:0/x", messages::kMalformedAddress}));

TEST(FetchRequest, DottedQuadMustBeFourNumbersUpTo255) {
  platform::Ipv4Address address;
  EXPECT_TRUE(platform::ParseDottedQuad(u"127.0.0.1", address));
  EXPECT_EQ(address.bytes[0], 127);
  EXPECT_TRUE(platform::ParseDottedQuad(u"255.255.255.255", address));
  for (const char16_t* text : {u"256.0.0.1", u"1.2.3", u"1.2.3.4.5", u"1..2.3", u"1.2.3.4 ",
                               u"a.b.c.d", u"", u"-1.2.3.4"}) {
    EXPECT_FALSE(platform::ParseDottedQuad(text, address)) << platform::ToUtf8(text);
  }
}

}  // namespace
}  // namespace qelo::test
