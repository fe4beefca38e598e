#include "retrieval/http_response.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/failure.h"
#include "tests/support/scripted_byte_source.h"

namespace qelo {
namespace {

using testing::ScriptedByteSource;

std::string BodyOf(const ResponseBuffer& buffer) {
  return std::string(buffer.Bytes().begin(), buffer.Bytes().end());
}

TEST(ReadResponseSmoke, ContentLengthBody) {
  ScriptedByteSource source;
  source.Bytes("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  ResponseBuffer buffer(kCodePageUtf8);
  const HttpResponse response = ReadResponse(source, buffer);
  EXPECT_EQ(response.statusCode, 200);
  EXPECT_EQ(response.statusLine, u"HTTP/1.1 200 OK");
  EXPECT_EQ(BodyOf(buffer), "hello");
  EXPECT_FALSE(response.ConnectionEnds());
}

}  // namespace
}  // namespace qelo
