// Inserting UTF-16 text into a Text.

#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace {

TEST(TextWide, ConvertsAndPutsLikeAString) {
  Text* t = text_new();
  EXPECT_EQ(text_put_wide(t, u"a\nb"), 4);
  EXPECT_STREQ(text_cstr(t), "a\r\nb");
  EXPECT_EQ(text_tell(t), 4);
  // Japanese text takes its Shift-JIS form: 日本 is 93 FA 96 7B.
  EXPECT_EQ(text_put_wide(t, u"日本"), 4);
  EXPECT_EQ(std::string(text_cstr(t)), "a\r\nb\x93\xFA\x96\x7B");
  EXPECT_EQ(text_put_wide(t, u""), 0);
  EXPECT_EQ(text_put_wide(t, nullptr), 0);
  EXPECT_EQ(text_put_wide(nullptr, u"x"), 0);
  text_lock(t);
  EXPECT_EQ(text_put_wide(t, u"x"), 0);
  text_unlock(t);
  EXPECT_EQ(text_length(t), 8);
  text_free(t);
}

}  // namespace
