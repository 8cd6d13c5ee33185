// The Text object: pool, gap rules, growth, reading and writing, line navigation.

#include "core/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using T = TextOwner;

std::string contents(Text* t) {
  std::string s((size_t)text_length(t), '\0');
  text_copy_out(t, 0, s.data(), (int64_t)s.size());
  return s;
}

std::string view(Text* t) {
  int64_t n = 0;
  const char* p = text_view(t, &n);
  return std::string(p, (size_t)n);
}

TEST(TextBasics, FreshText) {
  T t;
  ASSERT_NE(t.t, nullptr);
  EXPECT_EQ(text_length(t), 0);
  EXPECT_EQ(text_tell(t), 0);
  EXPECT_STREQ(text_cstr(t), "");
  EXPECT_EQ(t->capacity, 250);
  EXPECT_EQ(t->refs, 1);
  EXPECT_TRUE(t->flags & TX_FROM_NEW);
  EXPECT_TRUE(t->flags & TX_SPLIT_LONG);
  EXPECT_FALSE(t->flags & TX_MODIFIED);
  Text* big = text_new_large();
  EXPECT_EQ(big->capacity, 65536);
  text_free(big);
}

TEST(TextBasics, NullTextIsHarmless) {
  EXPECT_EQ(text_length(nullptr), 0);
  EXPECT_EQ(text_tell(nullptr), -1);
  EXPECT_STREQ(text_cstr(nullptr), "");
  EXPECT_STREQ(text_line_ptr(nullptr), "");
  EXPECT_EQ(text_puts(nullptr, "abc"), 0);
  EXPECT_EQ(text_delete(nullptr, 1), 0);
  EXPECT_FALSE(text_seek(nullptr, 0));
  EXPECT_EQ(text_line_count(nullptr), 0);
  text_free(nullptr);
  text_clear(nullptr);
  text_top(nullptr);
  EXPECT_EQ(text_retain(nullptr), nullptr);
  int64_t n = 5;
  EXPECT_STREQ(text_view(nullptr, &n), "");
  EXPECT_EQ(n, 0);
}

TEST(TextGrowth, FirstBufferThenFixedStep) {
  T t;
  std::string s(250, 'x');
  char* before = t->buffer;
  EXPECT_EQ(text_write(t, s.c_str(), 250), 250);
  EXPECT_EQ(t->capacity, 250);
  EXPECT_EQ(t->buffer, before);  // still the first buffer: no reallocation happened
  EXPECT_EQ(text_write(t, "y", 1), 1);
  EXPECT_EQ(t->capacity, 251 + 8192);
  EXPECT_EQ(contents(t), s + "y");
  // A large insertion into an empty text takes the initial increment.
  T u;
  std::string big(1000, 'z');
  EXPECT_EQ(text_write(u, big.c_str(), 1000), 1000);
  EXPECT_EQ(u->capacity, 1000 + 8192);
  // Past 500000 bytes of capacity the step is at least 250000 or a tenth of the capacity.
  T v;
  std::string chunk(600000, 'a');
  text_write(v, chunk.c_str(), (int64_t)chunk.size());
  EXPECT_EQ(v->capacity, 600000 + 8192);
  text_write(v, "b", 1);
  EXPECT_EQ(v->capacity, 608192);  // still room
  std::string more(8192, 'c');
  text_write(v, more.c_str(), (int64_t)more.size());
  EXPECT_EQ(v->capacity, 600001 + 8192 + 250000);
  EXPECT_EQ(text_length(v), 600001 + 8192);
  // Past 2.5 MB a tenth of the capacity is the larger step.
  T w;
  std::string large(3000000, 'a');
  text_write(w, large.c_str(), (int64_t)large.size());
  EXPECT_EQ(w->capacity, 3000000 + 8192);
  text_write(w, more.c_str(), (int64_t)more.size());
  text_write(w, "b", 1);
  EXPECT_EQ(w->capacity, 3000000 + 8192 + 1 + (3000000 + 8192) / 10);
}

TEST(TextGrowth, IncrementsFromTheRecord) {
  T t;
  text_reset_capacity(t, 0);
  t->initial_increment = 100;
  t->growth_increment = 10;
  text_write(t, "abc", 3);
  EXPECT_EQ(t->capacity, 103);
  std::string s(100, 'q');
  text_write(t, s.c_str(), 100);
  EXPECT_EQ(t->capacity, 103);
  text_write(t, "z", 1);
  EXPECT_EQ(t->capacity, 104 + 10);
}

TEST(TextWrite, PutsConvertsLoneLf) {
  T t;
  EXPECT_EQ(text_puts(t, "a\nb"), 4);
  EXPECT_EQ(contents(t), "a\r\nb");
  EXPECT_EQ(text_tell(t), 4);
  T u;
  EXPECT_EQ(text_puts(u, "a\r\nb"), 4);
  EXPECT_EQ(contents(u), "a\r\nb");
  T w;
  EXPECT_EQ(text_puts(w, "\n\n"), 4);
  EXPECT_EQ(contents(w), "\r\n\r\n");
  EXPECT_TRUE(t->flags & TX_MODIFIED);
}

TEST(TextWrite, InsertModes) {
  T t;
  EXPECT_EQ(text_insert(t, "ab", TI_CRLF, 0), 4);
  EXPECT_EQ(contents(t), "ab\r\n");
  EXPECT_EQ(text_insert(t, "x\ny", TI_CRLF | TI_LF_TO_CRLF, 0), 6);
  EXPECT_EQ(contents(t), "ab\r\nx\r\ny\r\n");
  T raw;
  EXPECT_EQ(text_write(raw, "a\0b\nc", 5), 5);
  EXPECT_EQ(contents(raw), std::string("a\0b\nc", 5));
  // A Text source: the line at its cursor, or its whole contents with TI_WHOLE.
  T src;
  text_puts(src, "one\ntwo\nthree");
  text_seek(src, 5);
  T d1;
  EXPECT_EQ(text_puts(d1, src.t), 3);
  EXPECT_EQ(contents(d1), "two");
  T d2;
  EXPECT_EQ(text_put_text(d2, src.t), text_length(src));
  EXPECT_EQ(contents(d2), contents(src));
  T d3;
  EXPECT_EQ(text_write(d3, src.t, 2), 2);
  EXPECT_EQ(contents(d3), "tw");
  // A Text source gives no more than its storage holds behind the line.
  T d4;
  text_seek(src, 10);
  EXPECT_EQ(text_write(d4, src.t, 1000), 5);
  EXPECT_EQ(contents(d4), "three");
  src->flags |= TX_WHOLE;
  T d5;
  EXPECT_EQ(text_puts(d5, src.t), text_length(src));
  EXPECT_EQ(view(src), contents(src));
}

TEST(TextWrite, InsertingATextIntoItself) {
  T t;
  text_puts(t, "abc\ndef\n");
  text_seek(t, 5);
  EXPECT_EQ(text_put_text(t, t.t), 10);
  EXPECT_EQ(contents(t), "abc\r\nabc\r\ndef\r\ndef\r\n");
  // A string that points into the Text's own storage is copied before the storage moves.
  T u;
  text_puts(u, "xyz");
  const char* p = text_cstr(u);
  std::string big(5000, 'w');
  text_seek(u, 0);
  EXPECT_EQ(text_puts(u, p), 3);
  text_bottom(u);
  text_write(u, big.c_str(), 5000);
  EXPECT_EQ(contents(u).substr(0, 6), "xyzxyz");
}

TEST(TextWrite, PutcWidths) {
  T t;
  text_putc(t, 'A');
  text_putc(t, 0x889F);
  text_putc(t, 0x804041);
  text_putc(t, 0xD83DDE00);
  std::string s = contents(t);
  ASSERT_EQ(s.size(), 1u + 2 + 3 + 6);
  EXPECT_EQ(s.substr(0, 6), "A\x88\x9F\x80\x40\x41");
  const char* c = text_cstr(t);
  EXPECT_EQ(char_code(c + 6), 0xD83DDE00u);
  EXPECT_EQ(char_len(c + 6), 6);
}

TEST(TextWrite, EndLine) {
  T t;
  EXPECT_EQ(text_end_line(t), 0);  // position 0
  text_puts(t, "abc");
  text_seek(t, 1);
  EXPECT_EQ(text_end_line(t), 2);
  EXPECT_EQ(contents(t), "a\r\nbc");
  EXPECT_EQ(text_end_line(t), 0);  // right after the LF
  T cr;
  cr->flags |= TX_CR_MODE;
  text_write(cr, "a\rb", 3);
  text_seek(cr, 2);
  EXPECT_EQ(text_end_line(cr), 0);  // a lone CR ends a line in CR mode
  cr->flags &= ~TX_CR_MODE;
  EXPECT_EQ(text_end_line(cr), 2);
}

TEST(TextDelete, RangeRules) {
  T t;
  text_puts(t, "hello world");
  text_seek(t, 6);
  EXPECT_EQ(text_delete(t, 6), 0);  // passes the end
  EXPECT_EQ(contents(t), "hello world");
  EXPECT_EQ(text_delete(t, 0), 0);
  EXPECT_EQ(text_delete(t, -1), 0);
  EXPECT_EQ(text_delete(t, 5), 5);
  EXPECT_EQ(contents(t), "hello ");
  EXPECT_EQ(text_tell(t), 6);
  text_seek(t, 0);
  EXPECT_EQ(text_delete(t, 2), 2);
  EXPECT_EQ(contents(t), "llo ");
  EXPECT_EQ(text_tell(t), 0);
  text_clear(t);
  EXPECT_EQ(text_length(t), 0);
  EXPECT_STREQ(text_cstr(t), "");
}

TEST(TextLock, LockedTextRefusesChanges) {
  T t;
  text_puts(t, "abc");
  text_lock(t);
  EXPECT_EQ(text_puts(t, "x"), 0);
  text_seek(t, 0);
  EXPECT_EQ(text_delete(t, 1), 0);
  EXPECT_FALSE(text_reset_capacity(t, 10));
  EXPECT_EQ(contents(t), "abc");
  text_lock(t);
  text_unlock(t);
  EXPECT_EQ(text_puts(t, "x"), 0);
  text_unlock(t);
  EXPECT_EQ(text_puts(t, "x"), 1);
  EXPECT_EQ(contents(t), "xabc");
  for (int i = 0; i < 40; ++i) text_lock(t);  // the level saturates instead of wrapping
  EXPECT_EQ(t->lock_level & 15, 15);
}

TEST(TextRead, ViewOfCursorLine) {
  T t;
  text_puts(t, "first\nabc\nlast");
  text_seek(t, 7);
  EXPECT_EQ(view(t), "abc");
  EXPECT_EQ(std::string(text_line_ptr(t), 3), "abc");
  text_seek(t, 0);
  EXPECT_EQ(view(t), "first");
  text_bottom(t);
  EXPECT_EQ(view(t), "last");
  int64_t n = 0;
  EXPECT_STREQ(text_view("plain", &n), "plain");
  EXPECT_EQ(n, 5);
  T e;
  text_puts(e, "x\n");
  text_bottom(e);
  EXPECT_EQ(view(e), "");
}

TEST(TextRead, CstrClosesTheGap) {
  T t;
  text_puts(t, "abc\ndef\nghi");
  text_seek(t, 6);
  text_puts(t, "XY");
  EXPECT_NE(t->gap_start, text_length(t));
  EXPECT_STREQ(text_cstr(t), "abc\r\ndXYef\r\nghi");
  EXPECT_EQ(t->gap_start, text_length(t));
  EXPECT_EQ(text_tell(t), 8);  // the cursor keeps its place through the move
}

TEST(TextPool, HandleTestAndInvalidFree) {
  static std::string captured;
  captured.clear();
  text_set_debug([](const char* m) { captured += m; });
  T t;
  EXPECT_TRUE(text_is_handle(t.t));
  EXPECT_TRUE(text_is_handle((const char*)t.t + 3));  // any address inside the slot area
  char plain[16] = "not a text";
  EXPECT_FALSE(text_is_handle(plain));
  EXPECT_FALSE(text_is_handle(nullptr));
  text_free((Text*)plain);
  char expect[80];
  snprintf(expect, sizeof expect, "無効なtextハンドル(%08lX)\n", (unsigned long)(uintptr_t)plain);
  EXPECT_EQ(captured, expect);
  EXPECT_STREQ(plain, "not a text");
  text_set_debug(nullptr);
}

TEST(TextPool, RetainAndFree) {
  static std::string captured;
  captured.clear();
  text_set_debug([](const char* m) { captured += m; });
  Text* t = text_new();
  text_puts(t, "x");
  EXPECT_EQ(text_retain(t), t);
  text_free(t);
  EXPECT_TRUE(t->flags & TX_IN_USE);
  EXPECT_EQ(text_length(t), 1);
  text_free(t);
  EXPECT_FALSE(t->flags & TX_IN_USE);
  EXPECT_TRUE(captured.empty());
  text_free(t);  // a third free of a released slot is reported, not carried out
  EXPECT_FALSE(captured.empty());
  text_set_debug(nullptr);
}

TEST(TextPool, ManyTextsSpanBlocksAndSlotsAreReused) {
  std::vector<Text*> all;
  for (int i = 0; i < 700; ++i) {
    Text* t = text_new();
    ASSERT_NE(t, nullptr);
    text_putc(t, 'a' + i % 26);
    all.push_back(t);
  }
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_TRUE(text_is_handle(all[i]));
    EXPECT_EQ(text_cstr(all[i])[0], 'a' + (int)i % 26);
  }
  Text* freed = all[300];
  text_free(freed);
  Text* again = nullptr;
  std::vector<Text*> extra;
  for (int i = 0; i < 600 && again != freed; ++i) {
    again = text_new();
    extra.push_back(again);
  }
  EXPECT_EQ(again, freed);  // the slot came back
  EXPECT_EQ(text_length(again), 0);
  all[300] = nullptr;
  for (Text* t : all) text_free(t);
  for (Text* t : extra) text_free(t);
}

TEST(TextProps, SetGetRemove) {
  T t;
  EXPECT_EQ(text_prop(t, ID("_KC")), 0);
  for (int i = 1; i <= TEXT_PROPS; ++i) EXPECT_TRUE(text_set_prop(t, (PackedId)i, i * 10));
  EXPECT_FALSE(text_set_prop(t, 100, 1));  // full
  EXPECT_EQ(text_prop(t, 3), 30);
  EXPECT_TRUE(text_set_prop(t, 3, 0));  // removing frees the slot
  EXPECT_TRUE(text_set_prop(t, 100, 7));
  EXPECT_EQ(text_prop(t, 100), 7);
  EXPECT_EQ(text_prop(t, 3), 0);
}

TEST(TextCursor, SeekSkipTopBottom) {
  T t;
  text_puts(t, "a\x82\xA0\r\nb");
  text_top(t);
  EXPECT_EQ(text_tell(t), 0);
  EXPECT_FALSE(text_seek(t, 7));
  EXPECT_EQ(text_tell(t), 0);
  EXPECT_TRUE(text_skip_char(t));
  EXPECT_EQ(text_tell(t), 1);
  EXPECT_TRUE(text_skip_char(t));
  EXPECT_EQ(text_tell(t), 3);
  EXPECT_TRUE(text_skip_char(t));  // CR LF is one character
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_FALSE(text_skip(t, 2));
  EXPECT_TRUE(text_skip(t, 1));
  EXPECT_FALSE(text_skip_char(t));
  text_top(t);
  text_bottom(t);
  EXPECT_EQ(text_tell(t), 6);
  EXPECT_EQ(text_byte_at(t, 1), 0x82);
  EXPECT_EQ(text_byte_at(t, 6), -1);
  // Unallocated after a failed reset: empty, cursor -1.
  text_reset_capacity(t, -1);
  EXPECT_EQ(text_length(t), 0);
  EXPECT_EQ(text_tell(t), -1);
  text_top(t);
  EXPECT_EQ(text_tell(t), -1);
  EXPECT_STREQ(text_cstr(t), "");
  EXPECT_EQ(text_puts(t, "re"), 2);  // writing allocates again
  EXPECT_EQ(contents(t), "re");
}

TEST(TextLines, CountAndOffsets) {
  T t;
  EXPECT_EQ(text_line_count(t), 0);
  text_puts(t, "a\nbb\n\nccc");
  EXPECT_EQ(text_line_count(t), 4);
  EXPECT_EQ(text_line_offset(t, 1), 0);
  EXPECT_EQ(text_line_offset(t, 2), 3);
  EXPECT_EQ(text_line_offset(t, 3), 7);
  EXPECT_EQ(text_line_offset(t, 4), 9);
  EXPECT_EQ(text_line_offset(t, 5), -1);
  EXPECT_EQ(text_line_offset(t, 0), -1);
  EXPECT_EQ(text_line_offset(t, -1), text_length(t));
  EXPECT_EQ(text_line_start(t, 5), 3);
  EXPECT_EQ(text_line_start(t, 4), 3);
  EXPECT_EQ(text_next_line_pos(t, 3), 7);
  EXPECT_EQ(text_next_line_pos(t, 10), -1);
  text_puts(t, "\n");
  EXPECT_EQ(text_line_count(t), 4);  // a final line end opens no record
  ASSERT_NE(text_line_index(t), nullptr);
  EXPECT_EQ(text_line_count(t), 4);
  EXPECT_EQ(text_line_offset(t, 4), 9);
  EXPECT_EQ(text_line_offset(t, 5), -1);
}

TEST(TextLines, RecordArrayMode) {
  T t;
  t->record_size = 4;
  text_puts(t, "AAAA");
  text_puts(t, "CCCC");
  text_seek(t, 4);
  text_puts(t, "BBBB");
  EXPECT_EQ(contents(t), "AAAABBBBCCCC");
  EXPECT_EQ(text_tell(t), 8);
  EXPECT_EQ(text_line_count(t), 3);
  EXPECT_EQ(text_line_offset(t, 3), 8);
  EXPECT_EQ(std::string(text_line_ptr(t), 4), "CCCC");
  EXPECT_EQ(view(t), "CCCC");
  EXPECT_EQ(text_line_index(t), nullptr);
}

}  // namespace

namespace {

TEST(TextGrowth, RecordArraysSizedByTheirOwner) {
  // One record per 20 owner bytes.
  Text* owner = text_new();
  std::string body(2000, 'o');
  text_write(owner, body.c_str(), 2000);
  Text* x = text_new();
  x->record_size = 4;
  x->owner = owner;
  x->flags |= TX_INDEX_20;
  std::string recs(248, 'r');
  text_write(x, recs.c_str(), 248);
  EXPECT_EQ(x->capacity, 250);
  text_write(x, "RRRR", 4);
  EXPECT_EQ(x->capacity, 4 * (2000 / 20));
  text_free(x);
  // The line index: one record per 10 owner bytes once that is enough, else the usual step.
  Text* t = text_new();
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "abcdefghi\n";
  text_write(t, lines.c_str(), (int64_t)lines.size());
  Text* ix = text_line_index(t);
  ASSERT_NE(ix, nullptr);
  EXPECT_EQ(ix->capacity, 8 * 1001);
  std::string longline(100000, 'x');
  text_write(t, longline.c_str(), (int64_t)longline.size());
  EXPECT_EQ(ix->capacity, 8 * 1001);  // no new line start
  text_write(t, "\n", 1);
  EXPECT_EQ(ix->capacity, 8 * (text_length(t) / 10));
  EXPECT_EQ(text_line_count(t), 1001);
  EXPECT_EQ(text_line_offset(t, 1001), 10000);
  text_free(t);
  text_free(owner);
}

TEST(TextWrite, WholeTextSourceWithGapInside) {
  Text* src = text_new();
  text_write(src, "alpha\nbeta\ngamma\n", 17);
  text_seek(src, 6);
  text_write(src, "B", 1);  // the gap now stands inside the text
  ASSERT_LT(src->gap_start, text_length(src));
  Text* dst = text_new();
  text_write(dst, "[]", 2);
  text_seek(dst, 1);
  EXPECT_EQ(text_put_text(dst, src), 18);
  EXPECT_STREQ(text_cstr(dst), "[alpha\nBbeta\ngamma\n]");
  EXPECT_EQ(text_tell(dst), 19);
  // LF conversion of a whole Text.
  Text* conv = text_new();
  EXPECT_EQ(text_insert(conv, src, TI_WHOLE | TI_LF_TO_CRLF, 0), 21);
  EXPECT_STREQ(text_cstr(conv), "alpha\r\nBbeta\r\ngamma\r\n");
  text_free(src);
  text_free(dst);
  text_free(conv);
}

}  // namespace
