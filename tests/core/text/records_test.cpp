// Tab-separated records: walking, fields, cells and rewriting in place.

#include "core/records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/text.h"

namespace {

// A Text holding s, cursor at the top.
Text* text_of(const char* s) {
  Text* t = text_new();
  text_write(t, s, (int64_t)strlen(s));
  text_top(t);
  return t;
}
using T = TextOwner;

std::string contents(Text* t) {
  return text_cstr(t);
}

std::string cell(TextArg a) {
  int64_t n = 0;
  const char* p = text_cell(a, &n);
  return std::string(p, (size_t)n);
}

TEST(Records, FieldsOfARecord) {
  T t(text_of("sw\tSHOW\t3\r\nnext\r\n"));
  EXPECT_EQ(text_id(t.t), ID("SW"));
  EXPECT_EQ(id_pack(text_field(t.t, 2)), ID("SHOW"));
  EXPECT_EQ(atoi(text_field(t.t, 3)), 3);
  EXPECT_EQ(text_field(t.t, 4), nullptr);
  EXPECT_EQ(text_field(t.t, 0), nullptr);
  EXPECT_EQ(text_field(t.t, -2), nullptr);
  // The same through a plain string.
  const char* s = "sw\tSHOW\t3";
  EXPECT_EQ(text_field(s, 1), s);
  EXPECT_EQ(text_field(s, 3), s + 8);
  EXPECT_EQ(text_field(s, 4), nullptr);
  EXPECT_EQ(text_id(s), ID("SW"));
  EXPECT_EQ(text_id(nullptr), 0u);
  EXPECT_EQ(text_field(nullptr, 1), nullptr);
}

TEST(Records, EmptyLineHasOneEmptyField) {
  T t(text_of("\r\nx\ty\r\n"));
  const char* f1 = text_field(t.t, 1);
  ASSERT_NE(f1, nullptr);
  EXPECT_EQ(*f1, '\r');
  EXPECT_EQ(text_field(t.t, 2), nullptr);
  EXPECT_EQ(text_id(t.t), 0u);
  // A TAB as second byte of a double-byte character does not exist, but 0x5C and 0x40 do: they
  // must not end a field.
  T k(text_of("\x95\x5C\t\x83\x40\tz"));
  EXPECT_EQ(std::string(text_field(k.t, 3)), "z");
}

TEST(Records, WalkAllRecords) {
  T t(text_of("app\tCAB\r\nsw\tSHOW\t3\r\nfile\ta.txt\r\n"));
  std::vector<PackedId> kinds;
  for (text_top(t); !text_at_end(t); text_next_line(t)) kinds.push_back(text_id(t.t));
  EXPECT_EQ(kinds, (std::vector<PackedId>{ID("APP"), ID("SW"), ID("FILE")}));
  EXPECT_FALSE(text_next_line(t));
  EXPECT_TRUE(text_at_end(t));
  // A last record without a line end is walked too.
  T u(text_of("a\nb"));
  int n = 0;
  for (text_top(u); !text_at_end(u); text_next_line(u)) ++n;
  EXPECT_EQ(n, 2);
  T e;
  text_top(e);
  EXPECT_TRUE(text_at_end(e));
  EXPECT_FALSE(text_next_line(e));
  EXPECT_TRUE(text_at_end(nullptr));
}

TEST(Records, PrevLineBeginFinishGoto) {
  T t(text_of("one\r\ntwo\r\nthree"));
  text_bottom(t);
  EXPECT_TRUE(text_prev_line(t));
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_TRUE(text_prev_line(t));
  EXPECT_EQ(text_tell(t), 0);
  EXPECT_FALSE(text_prev_line(t));
  EXPECT_EQ(text_tell(t), 0);
  text_seek(t, 6);
  text_line_finish(t);
  EXPECT_EQ(text_tell(t), 8);
  EXPECT_TRUE(text_at_line_end(t));
  text_line_begin(t);
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_TRUE(text_at_line_start(t));
  EXPECT_TRUE(text_goto_line(t, 3));
  EXPECT_EQ(text_tell(t), 10);
  text_line_finish(t);
  EXPECT_EQ(text_tell(t), 15);
  EXPECT_FALSE(text_goto_line(t, 4));
  EXPECT_FALSE(text_goto_line(t, 0));
  EXPECT_EQ(text_tell(t), 15);
  // After a final line end, the previous record of the end is the last one.
  T u(text_of("a\r\nbb\r\n"));
  text_bottom(u);
  EXPECT_TRUE(text_prev_line(u));
  EXPECT_EQ(text_tell(u), 3);
}

TEST(Records, LineEndTestsInCrMode) {
  T t;
  t->flags |= TX_CR_MODE;
  text_write(t, "a\rb\r\nc", 6);
  text_seek(t, 1);
  EXPECT_TRUE(text_at_line_end(t));
  text_seek(t, 2);
  EXPECT_TRUE(text_at_line_start(t));
  text_seek(t, 4);
  EXPECT_FALSE(text_at_line_start(t));  // between CR and LF
  text_seek(t, 5);
  EXPECT_TRUE(text_at_line_start(t));
  text_top(t);
  int n = 0;
  for (; !text_at_end(t); text_next_line(t)) ++n;
  EXPECT_EQ(n, 3);
  t->flags &= ~TX_CR_MODE;
  text_top(t);
  n = 0;
  for (; !text_at_end(t); text_next_line(t)) ++n;
  EXPECT_EQ(n, 2);
}

TEST(Records, CellOfCursorField) {
  T t(text_of("ab\tcdef\tgh\r\nnext"));
  text_seek(t, 5);  // inside "cdef"
  EXPECT_EQ(cell(t.t), "cdef");
  text_seek(t, 3);
  EXPECT_EQ(cell(t.t), "cdef");
  text_seek(t, 0);
  EXPECT_EQ(cell(t.t), "ab");
  text_seek(t, 8);
  EXPECT_EQ(cell(t.t), "gh");  // the CR LF is not part of the cell
  text_seek(t, 12);
  EXPECT_EQ(cell(t.t), "next");
  EXPECT_EQ(cell("a\tb"), "a\tb");
  EXPECT_EQ(cell(nullptr), "");
}

TEST(Records, CellCompare) {
  EXPECT_EQ(text_cell_compare("abc", "abc", 0), 0);
  EXPECT_LT(text_cell_compare("abc", "abd", 0), 0);
  EXPECT_GT(text_cell_compare("abd", "abc", 0), 0);
  EXPECT_LT(text_cell_compare("ab", "abc", 0), 0);  // shorter is smaller when equal so far
  EXPECT_GT(text_cell_compare("abc", "ab", 0), 0);
  EXPECT_LT(text_cell_compare(nullptr, "a", 0), 0);
  EXPECT_GT(text_cell_compare("a", "", 0), 0);
  EXPECT_EQ(text_cell_compare(nullptr, "", 0), 0);
  EXPECT_NE(text_cell_compare("ABC", "abc", 0), 0);
  EXPECT_EQ(text_cell_compare("ABC", "abc", 1), 0);
  EXPECT_EQ(text_cell_compare("ABC", "abc", 0x100), 0);
  EXPECT_GT(text_cell_compare("\xE0", "a", 0), 0);  // bytes compare unsigned
  // Full-width Ａ (82 60) against ａ (82 81): only the second comparison folds them.
  EXPECT_NE(text_cell_compare("\x82\x60", "\x82\x81", 1), 0);
  EXPECT_EQ(text_cell_compare("\x82\x60", "\x82\x81", 0x100), 0);
  // A trail byte in the letter range is not folded: 83 41 against 83 61 differ.
  EXPECT_NE(text_cell_compare("\x83\x41", "\x83\x61", 1), 0);
  EXPECT_NE(text_cell_compare("\x83\x41", "\x83\x61", 0x100), 0);
  // Cells of Texts.
  T a(text_of("x\tKey\ty"));
  T b(text_of("KEY"));
  text_seek(a, 3);
  EXPECT_EQ(text_cell_compare(a.t, b.t, 1), 0);
  EXPECT_NE(text_cell_compare(a.t, b.t, 0), 0);
}

TEST(Records, RewriteRecordInPlace) {
  T t(text_of("app\tCAB\r\nshow\t1\r\nfile\tx\r\n"));
  text_bottom(t);
  while (text_prev_line(t) && text_id(t.t) != ID("SHOW")) {
  }
  ASSERT_EQ(text_id(t.t), ID("SHOW"));
  EXPECT_EQ(text_delete_to_line_end(t), 6);
  text_write(t, "show\t7", 6);
  EXPECT_EQ(contents(t), "app\tCAB\r\nshow\t7\r\nfile\tx\r\n");
  // At a line end nothing is deleted.
  EXPECT_EQ(text_delete_to_line_end(t), 0);
  EXPECT_EQ(text_delete_to_line_end(nullptr), 0);
}

TEST(Records, RecordArrayWalk) {
  T t;
  t->record_size = 3;
  for (const char* r : {"AAA", "BBB", "CCC"}) text_puts(t, r);
  text_top(t);
  std::string seen;
  for (; !text_at_end(t); text_next_line(t)) seen += text_line_ptr(t)[0];
  EXPECT_EQ(seen, "ABC");
  EXPECT_TRUE(text_goto_line(t, 2));
  EXPECT_EQ(text_tell(t), 3);
  EXPECT_TRUE(text_prev_line(t));
  EXPECT_EQ(text_tell(t), 0);
  EXPECT_FALSE(text_prev_line(t));
  text_seek(t, 4);
  text_line_begin(t);
  EXPECT_EQ(text_tell(t), 3);
}

TEST(Records, RecordArrayPutCutsAndPadsToOneRecord) {
  // Never read past the string or past the source's line.
  T line;
  text_puts(line, "ab\r\ncdefghijklmnopqrstuvwxyz");
  text_seek(line, 0);
  const std::pair<TextArg, std::string> cases[] = {
      {"abc", std::string("abc") + std::string(13, '\0')},
      {"ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOP"},
      {line.t, std::string("ab") + std::string(14, '\0')}};
  for (const auto& c : cases) {
    T t;
    t->record_size = 16;
    EXPECT_EQ(text_puts(t, c.first), 16);
    EXPECT_EQ(std::string(text_cstr(t), (size_t)text_length(t)), c.second);
  }
}

}  // namespace
