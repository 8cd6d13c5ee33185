// Inserting UTF-16 text into a Text.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/codepage.h"
#include "core/text.h"
#include "core/utf8.h"

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

TEST(ToNarrowNew, TwinOfToWideNew) {
  struct Case {
    const char16_t* wide;
    int length;
    const char* narrow;
  } cases[] = {
      {u"", -1, ""},
      {u"abc", -1, "abc"},
      {u"日本x", 2, "\x93\xFA\x96\x7B"},  // cut at the length, terminated all the same
      {u"abc", 0, ""},
  };
  for (const Case& c : cases) {
    char* s = to_narrow_new(c.wide, c.length);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::string(s), c.narrow);
    std::free(s);
  }
  EXPECT_EQ(to_narrow_new(nullptr, -1), nullptr);
  // A unit without a Shift-JIS form travels as its escape and comes back.
  char* e = to_narrow_new(u"\u00E9", -1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::strlen(e), 3u);
  char16_t* back = to_wide_new(e, -1);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::u16string(back), u"\u00E9");
  std::free(back);
  std::free(e);
}

TEST(Utf8Put, EveryLengthAtItsBounds) {
  struct Case {
    uint32_t c;
    const char* bytes;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x65E5, "\xE6\x97\xA5"},  // 日
      {0xD800, "\xED\xA0\x80"},  // a lone surrogate as it is
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    char b[4];
    int n = utf8_put(c.c, b);
    EXPECT_EQ(std::string(b, (size_t)n), c.bytes) << std::hex << c.c;
  }
}

}  // namespace
