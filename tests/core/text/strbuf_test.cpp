// The sticky string buffer.

#include "core/strbuf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StrBuf, GrowsKeepsItsBytesAndHandsThemOver) {
  StrBuf b;
  EXPECT_STREQ(b.str(), "");
  EXPECT_EQ(b.s, nullptr);  // nothing allocated for nothing added
  b.add(nullptr);
  b.add("", 0);
  EXPECT_EQ(b.s, nullptr);
  std::string want;
  for (int i = 0; i < 100; ++i) {  // well past the first allocation
    b.add("ab\0c", 4);             // embedded NULs are bytes like any other
    b.addc('.');
    want.append("ab\0c.", 5);
  }
  ASSERT_FALSE(b.failed);
  EXPECT_EQ(std::string(b.s, b.len), want);
  EXPECT_EQ(b.s[b.len], 0);
  b.clear();
  EXPECT_STREQ(b.str(), "");
  b.add("xyz");
  char* r = b.release();
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r, "xyz");
  std::free(r);
  EXPECT_EQ(b.s, nullptr);
  EXPECT_EQ(b.len, 0u);
  // An empty buffer still hands over a string.
  StrBuf e;
  EXPECT_TRUE(e.ensure());
  char* empty = e.release();
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  std::free(empty);
}

}  // namespace
