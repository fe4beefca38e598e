// What the client puts on the wire: the address taken apart and the request head byte for
// byte; the addresses it refuses before it touches the network, and the dotted-quad rule of the
// resolver.

#include <gtest/gtest.h>

#include <thread>

#include "core/messages.h"
#include "core/text.h"
#include "platform/socket.h"
#include "tests/retrieval/http_client_testing.h"
#include "tests/support/case_name.h"

namespace qelo::test {
namespace {

constexpr char kOk[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

TEST(FetchRequest, HeadForTheForecastAddressNamesTheHostAsWritten) {
  const PageAddress page = ParsePageAddress(u"http://www.weather.com.cn/weather/101230101.shtml");
  EXPECT_EQ(page.host, u"www.weather.com.cn");
  EXPECT_EQ(page.port, 80);
  EXPECT_EQ(BuildRequestHead(page), ExpectedHead("/weather/101230101.shtml", "www.weather.com.cn"));
}

TEST(FetchRequest, NonAsciiHostGoesOutAsQuestionMarks) {
  const std::string head = BuildRequestHead(ParsePageAddress(u"http://天气.example/x"));
  EXPECT_EQ(head.substr(0, head.find("\r\nAccept:")), "GET /x HTTP/1.1\r\nHost: ??.example");
}

struct AddressCase {
  const char* name;
  std::u16string prefix;  // scheme and host; the server's port follows
  std::u16string rest;
  std::string target;
  std::string hostBeforePort;
};

class FetchRequestHead : public ::testing::TestWithParam<AddressCase> {};

TEST_P(FetchRequestHead, ArrivesExactlyOnce) {
  const AddressCase& c = GetParam();
  ScriptServer server(Answer(kOk));
  const FetchOutcome outcome = Fetch(c.prefix + u":" + Decimal(server.Port()) + c.rest);

  ASSERT_FALSE(outcome.failure.has_value());
  EXPECT_EQ(outcome.body, "ok");
  ASSERT_TRUE(server.WaitFinished());
  EXPECT_EQ(server.Record(0).received,
            ExpectedHead(c.target, c.hostBeforePort + ":" + std::to_string(server.Port())));
}

const AddressCase kAddresses[] = {
    {"ForecastPage", u"http://127.0.0.1", u"/weather/101230101.shtml", "/weather/101230101.shtml",
     "127.0.0.1"},
    {"SchemeAndLocalhostInAnyCase", u"HTTP://LocalHost", u"/a/b/c.html?x=1", "/a/b/c.html?x=1",
     "LocalHost"},
    {"NoPathAsksForTheRoot", u"http://127.0.0.1", u"", "/", "127.0.0.1"},
    {"NonAsciiGoesOutAsQuestionMarks", u"http://127.0.0.1", u"/天气/页\U0001F600",
     "/?"
     "?/???",
     "127.0.0.1"},
};
INSTANTIATE_TEST_SUITE_P(Addresses, FetchRequestHead, ::testing::ValuesIn(kAddresses), CaseName);

struct RejectedAddress {
  std::u16string address;
  std::u16string message;
};

class FetchRejectsAddress : public ::testing::TestWithParam<RejectedAddress> {};

TEST_P(FetchRejectsAddress, BeforeTouchingTheNetwork) {
  ScriptServer server(Answer(kOk));
  std::u16string address = GetParam().address;
  if (auto at = address.find(u"PORT"); at != std::u16string::npos) {
    address.replace(at, 4, Decimal(server.Port()));
  }

  const FetchOutcome outcome = Fetch(address);

  EXPECT_EQ(outcome.failure, GetParam().message);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(server.AcceptedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Addresses, FetchRejectsAddress,
                         ::testing::ValuesIn(std::vector<RejectedAddress>{
                             {u"https://127.0.0.1:PORT/x", messages::kNotHttpAddress},
                             {u"ftp://127.0.0.1:PORT/x", messages::kNotHttpAddress},
                             {u"127.0.0.1:PORT/x", messages::kNotHttpAddress},
                             {u"", messages::kNotHttpAddress},
                             {u"http:///x", messages::kMalformedAddress},
                             {u"http://:PORT/x", messages::kMalformedAddress},
                             {u"http://127.0.0.1:/x", messages::kMalformedAddress},
                             {u"http://127.0.0.1:PORTx/x", messages::kMalformedAddress},
                             {u"http://127.0.0.1:99999/x", messages::kMalformedAddress},
                             {u"http://127.0.0.1:0/x", messages::kMalformedAddress}}));

TEST(FetchRequest, DottedQuadMustBeFourNumbersUpTo255) {
  platform::Ipv4Address address;
  EXPECT_TRUE(ParseDottedQuad(u"127.0.0.1", address));
  EXPECT_EQ(address.bytes[0], 127);
  EXPECT_TRUE(ParseDottedQuad(u"255.255.255.255", address));
  for (const char16_t* text : {u"256.0.0.1", u"1.2.3", u"1.2.3.4.5", u"1..2.3", u"1.2.3.4 ",
                               u"a.b.c.d", u"", u"-1.2.3.4"}) {
    EXPECT_FALSE(ParseDottedQuad(text, address)) << ToUtf8(text);
  }
}

}  // namespace
}  // namespace qelo::test
