#include "retrieval/response_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "core/failure.h"

namespace qelo {
namespace {

void Append(ResponseBuffer& buffer, std::string_view bytes) {
  buffer.Append(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(ResponseBuffer, CollectsBytesUpToItsLimit) {
  ResponseBuffer buffer(kCodePageUtf8, 8);
  EXPECT_EQ(buffer.Text(), u"");
  Append(buffer, "abc");
  Append(buffer, "");
  Append(buffer, "defgh");
  EXPECT_EQ(buffer.Bytes().size(), 8u);
  EXPECT_EQ(buffer.Text(), u"abcdefgh");
}

// The reader empties the buffer after any failure (BodyIntoBuffer checks that for this one).
TEST(ResponseBuffer, GrowingPastTheLimitFailsAndAppendsNothing) {
  ResponseBuffer buffer(kCodePageUtf8, 8);
  Append(buffer, "abcdef");
  try {
    Append(buffer, "ghi");
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Message(), u"Response too large.");
  }
  EXPECT_EQ(std::string(buffer.Bytes().begin(), buffer.Bytes().end()), "abcdef");
  buffer.Clear();
  EXPECT_TRUE(buffer.Bytes().empty());
  EXPECT_EQ(buffer.Bytes().capacity(), 0u);
}

TEST(ResponseBuffer, DefaultLimitIs16MiB) {
  ResponseBuffer buffer(kCodePageUtf8);
  const std::string block(1u << 20, 'a');
  for (int i = 0; i < 16; ++i) Append(buffer, block);
  EXPECT_EQ(buffer.Bytes().size(), kMaxResponseBytes);
  EXPECT_LE(buffer.Bytes().capacity(), kMaxResponseBytes);
  EXPECT_THROW(Append(buffer, "b"), Failure);
}

TEST(ResponseBuffer, TextIsStrictUtf8) {
  ResponseBuffer buffer(kCodePageUtf8);
  Append(buffer, "\xEF\xBB\xBF\xE6\x99\xB4");
  EXPECT_EQ(buffer.Text(), u"\uFEFF晴");
  Append(buffer, "\xB8\xA3\xD6\xDD");  // gb2312
  EXPECT_EQ(buffer.Text(), u"");
}

}  // namespace
}  // namespace qelo
