// Randomized differential tests of Text against a std::string model, out-of-memory injection,
// long-line splitting and the attachments (view, marks, line index, file hooks).

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/records.h"
#include "core/text.h"
#include "core/text_fault.h"

namespace {

struct Model {
  std::string s;
  int64_t cursor = 0;
  bool cr = false;

  bool is_start(int64_t q) const {
    if (q == 0) return true;
    char p = s[q - 1];
    if (p == '\n') return true;
    return cr && p == '\r' && (q == (int64_t)s.size() || s[q] != '\n');
  }
  std::vector<int64_t> starts() const {  // line starts below the length
    std::vector<int64_t> v;
    for (int64_t q = 0; q < (int64_t)s.size(); ++q)
      if (is_start(q)) v.push_back(q);
    return v;
  }
  int64_t line_start(int64_t a) const {
    while (!is_start(a)) --a;
    return a;
  }
  std::string line(int64_t a) const {  // the line holding a, without its line end
    int64_t b = line_start(a), e = b;
    while (e < (int64_t)s.size() && s[e] != '\n' && !(cr && s[e] == '\r' && is_start(e + 1))) ++e;
    if (e < (int64_t)s.size() && s[e] == '\n' && e > b && s[e - 1] == '\r') --e;
    return s.substr(b, e - b);
  }
};

std::string contents(Text* t) {
  std::string s((size_t)text_length(t), '\0');
  text_copy_out(t, 0, s.data(), (int64_t)s.size());
  return s;
}

// The gap stands at the end, at a line start, or (long lines) in front of a byte below 0x40.
void expect_gap_rule(Text* t, const Model& m) {
  if (t->gap_end == t->capacity) return;
  int64_t g = t->gap_start;
  if (m.is_start(g)) return;
  {
    ASSERT_TRUE((unsigned char)m.s[g] < 0x40 && g - m.line_start(g) > 0xFFFF)
        << "gap inside a line at " << g;
  }
}

void check(Text* t, const Model& m, bool deep) {
  ASSERT_EQ(text_length(t), (int64_t)m.s.size());
  ASSERT_EQ(text_tell(t), m.cursor);
  expect_gap_rule(t, m);
  if (t->gap_start < t->gap_end) {
    ASSERT_EQ(t->buffer[t->gap_start], 0);
  }
  ASSERT_EQ(t->buffer[t->capacity], 0);
  ASSERT_EQ(t->buffer[t->capacity + 1], 0);
  // The cursor's line is handed out in one piece, without moving the gap for a short line.
  int64_t gs = t->gap_start;
  int64_t n = 0;
  const char* p = text_view(t, &n);
  ASSERT_EQ(std::string(p, (size_t)n), m.line(m.cursor));
  if ((int64_t)m.line(m.cursor).size() <= 0xFFFF) {
    ASSERT_EQ(t->gap_start, gs);
  }
  ASSERT_EQ(text_line_start(t, m.cursor), m.line_start(m.cursor));
  if (!deep) return;
  ASSERT_EQ(contents(t), m.s);
  std::vector<int64_t> st = m.starts();
  ASSERT_EQ(text_line_count(t), (int64_t)st.size());
  // Every line through the index; without one (a scan from the top each) a spread of them.
  size_t stride = t->line_index ? 1 : 1 + st.size() / 16;
  for (size_t i = 0; i < st.size(); i += stride)
    ASSERT_EQ(text_line_offset(t, (int64_t)i + 1), st[i]);
  if (!st.empty()) {
    ASSERT_EQ(text_line_offset(t, (int64_t)st.size()), st.back());
  }
  ASSERT_EQ(text_line_offset(t, (int64_t)st.size() + 1), -1);
}

std::string random_piece(std::mt19937& rng, bool small_alphabet) {
  static const char* parts[] = {"a", "b", "\n", "\r", "\r\n", "xyz", "\t", "\x82\xA0", "  "};
  std::string s;
  int k = 1 + rng() % (small_alphabet ? 3 : 12);
  for (int i = 0; i < k; ++i) s += parts[rng() % 9];
  return s;
}

void run_random(uint32_t seed, bool cr_mode, bool with_index, int steps) {
  std::mt19937 rng(seed);
  Text* t = text_new();
  Model m;
  m.cr = cr_mode;
  if (cr_mode) t->flags |= TX_CR_MODE;
  if (with_index) {
    ASSERT_NE(text_line_index(t), nullptr);
  }
  for (int step = 0; step < steps; ++step) {
    int op = rng() % 10;
    if (m.s.size() > 4000 && op < 5) op = 5;  // keep the text small: the model is quadratic
    if (op < 4) {                             // raw insert
      std::string piece = random_piece(rng, false);
      ASSERT_EQ(text_write(t, piece.c_str(), (int64_t)piece.size()), (int64_t)piece.size());
      m.s.insert(m.cursor, piece);
      m.cursor += piece.size();
    } else if (op < 5) {  // insert with LF -> CR LF
      std::string piece = random_piece(rng, true);
      std::string conv;
      char prev = 0;
      for (char c : piece) {
        if (c == '\n' && prev != '\r') conv += '\r';
        conv += c;
        prev = c;
      }
      ASSERT_EQ(text_puts(t, piece.c_str()), (int64_t)conv.size());
      m.s.insert(m.cursor, conv);
      m.cursor += conv.size();
    } else if (op < 7) {  // delete
      int64_t k = rng() % 8;
      int64_t left = (int64_t)m.s.size() - m.cursor;
      int64_t r = text_delete(t, k);
      if (k == 0 || k > left) {
        ASSERT_EQ(r, 0);
      } else {
        ASSERT_EQ(r, k);
        m.s.erase(m.cursor, k);
      }
    } else if (op < 9) {  // seek
      int64_t a = m.s.empty() ? 0 : rng() % (m.s.size() + 1);
      ASSERT_TRUE(text_seek(t, a));
      m.cursor = a;
    } else {  // read the whole text now and then
      ASSERT_EQ(std::string(text_cstr(t)), m.s.substr(0, strlen(text_cstr(t))));
    }
    check(t, m, step % 7 == 0 || m.s.size() < 64);
    if (::testing::Test::HasFatalFailure()) {
      ADD_FAILURE() << "seed " << seed << " step " << step;
      break;
    }
  }
  check(t, m, true);
  text_free(t);
}

TEST(TextModel, RandomEditsLineMode) {
  for (uint32_t seed = 1; seed <= 30; ++seed) run_random(seed, false, false, 1500);
}

TEST(TextModel, RandomEditsCrMode) {
  for (uint32_t seed = 100; seed <= 130; ++seed) run_random(seed, true, false, 1500);
}

TEST(TextModel, RandomEditsWithLineIndex) {
  for (uint32_t seed = 200; seed <= 230; ++seed) run_random(seed, false, true, 1500);
  for (uint32_t seed = 300; seed <= 330; ++seed) run_random(seed, true, true, 1500);
}

TEST(TextModel, LineIndexAttachedLateAgreesWithScanning) {
  std::mt19937 rng(7);
  Text* t = text_new();
  std::string s;
  for (int i = 0; i < 3000; ++i) s += random_piece(rng, false);
  text_write(t, s.c_str(), (int64_t)s.size());
  int64_t count = text_line_count(t);
  std::vector<int64_t> offs;
  for (int64_t i = 1; i <= count; ++i) offs.push_back(text_line_offset(t, i));
  Text* x = text_line_index(t);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->owner, t);
  EXPECT_EQ(x->record_size, 8u);
  EXPECT_TRUE(x->flags & TX_INDEX_10);
  EXPECT_EQ(text_line_count(t), count);
  for (int64_t i = 1; i <= count; ++i) ASSERT_EQ(text_line_offset(t, i), offs[i - 1]);
  EXPECT_EQ(text_line_index(t), x);  // attached once
  text_free(t);                      // releases the index with it (ASan checks the leak)
}

TEST(TextLongLines, SplitAtLowByteKeepsContents) {
  Text* t = text_new();
  Model m;
  // One line of 200000 bytes: letters with a comma every 1000 bytes, then a short line.
  for (int i = 0; i < 200000; ++i) m.s += (i % 1000 == 999) ? ',' : 'k';
  m.s += "\r\nend";
  text_write(t, m.s.c_str(), (int64_t)m.s.size());
  text_seek(t, 150000);
  m.cursor = 150000;
  ASSERT_EQ(text_write(t, "Z", 1), 1);
  m.s.insert(150000, 1, 'Z');
  m.cursor++;
  // The gap was not moved back to the line start, 150000 bytes away, but to a comma.
  EXPECT_GT(t->gap_start, 0);
  EXPECT_EQ(m.s[t->gap_start], ',');
  EXPECT_LE(150000 - t->gap_start, 0xFFFF);
  EXPECT_EQ(contents(t), m.s);
  // Reading the line puts it together again.
  int64_t n = 0;
  const char* p = text_view(t, &n);
  EXPECT_EQ(std::string(p, (size_t)n), m.s.substr(0, 200001));
  // No low byte at all: the gap goes to the line start.
  Text* u = text_new();
  std::string plain(100000, 'q');
  text_write(u, plain.c_str(), (int64_t)plain.size());
  text_seek(u, 90000);
  text_write(u, "!", 1);
  EXPECT_EQ(u->gap_start, 0);
  plain.insert(90000, 1, '!');
  EXPECT_EQ(contents(u), plain);
  // "@" (0x40) is no low byte: it is the trail of the ideographic space 81 40, never split (the
  // view is told of no split either).
  static int relayouts;
  static const TextViewOps ops = {
      [](void*, Text*) { return true; },
      [](void*, Text*, int64_t, int64_t, int mode) { relayouts += mode == TX_NOTE_RELAYOUT; },
      nullptr};
  Text* x = text_new();
  x->view_ops = &ops;
  std::string spaces;
  for (int i = 0; i < 50000; ++i) spaces += "\x81\x40";
  text_write(x, spaces.c_str(), (int64_t)spaces.size());
  text_seek(x, 90000);
  text_write(x, "!", 1);
  EXPECT_EQ(x->gap_start, 0);
  EXPECT_EQ(relayouts, 0);
  spaces.insert(90000, 1, '!');
  EXPECT_EQ(contents(x), spaces);
  text_free(x);
  // Without the split flag the gap always goes to the line start.
  Text* w = text_new();
  w->flags &= ~TX_SPLIT_LONG;
  text_write(w, m.s.c_str(), (int64_t)m.s.size());
  text_seek(w, 150000);
  text_write(w, "Y", 1);
  EXPECT_EQ(w->gap_start, 0);
  text_free(t);
  text_free(u);
  text_free(w);
}

TEST(TextOutOfMemory, FailedGrowthChangesNothing) {
  Text* t = text_new();
  text_write(t, "line one\r\nline two\r\n", 20);
  text_seek(t, 5);
  std::string before = contents(t);
  int64_t cap = t->capacity;
  t->flags &= ~TX_MODIFIED;
  uint32_t mods = t->mod_count;
  std::string big(400, 'b');
  text_fail_alloc_after(1);
  EXPECT_EQ(text_write(t, big.c_str(), 400), 0);
  EXPECT_TRUE(t->flags & TX_OUT_OF_MEMORY);
  EXPECT_EQ(contents(t), before);
  EXPECT_EQ(t->capacity, cap);
  EXPECT_EQ(text_tell(t), 5);
  EXPECT_FALSE(t->flags & TX_MODIFIED);
  EXPECT_EQ(t->mod_count, mods);
  EXPECT_EQ(text_puts(t, big.c_str()), 0 + 400);  // injection was for one allocation only
  // The second later allocation fails: the first growth succeeds.
  std::string huge(20000, 'h');
  text_fail_alloc_after(2);
  EXPECT_EQ(text_write(t, huge.c_str(), 20000), 20000);
  std::string now = contents(t);
  EXPECT_EQ(text_write(t, huge.c_str(), 20000), 0);
  EXPECT_EQ(contents(t), now);
  text_fail_alloc_after(-1);
  // A new Text without storage is not handed out.
  text_fail_alloc_after(1);
  EXPECT_EQ(text_new(), nullptr);
  text_free(t);
}

TEST(TextOutOfMemory, FailedIndexGrowthDropsTheIndexNotTheEdit) {
  Text* t = text_new();
  ASSERT_NE(text_line_index(t), nullptr);
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += "x\n";
  text_fail_alloc_after(2);  // the text grows, the index does not
  EXPECT_EQ(text_write(t, lines.c_str(), (int64_t)lines.size()), (int64_t)lines.size());
  EXPECT_EQ(t->line_index, nullptr);
  EXPECT_EQ(text_line_count(t), 5000);
  EXPECT_EQ(text_line_offset(t, 5000), 9998);
  text_fail_alloc_after(-1);
  text_free(t);
}

struct ViewLog {
  bool allow = true;
  std::vector<std::vector<int64_t>> notes;
};

TEST(TextAttachments, ViewIsAskedAndTold) {
  static const TextViewOps ops = {[](void* v, Text*) { return ((ViewLog*)v)->allow; },
                                  [](void* v, Text*, int64_t phys, int64_t n, int mode) {
                                    ((ViewLog*)v)->notes.push_back({phys, n, mode});
                                  },
                                  nullptr};
  ViewLog log;
  Text* t = text_new();
  t->view = &log;
  t->view_ops = &ops;
  text_write(t, "abc", 3);
  ASSERT_EQ(log.notes.size(), 1u);
  EXPECT_EQ(log.notes[0], (std::vector<int64_t>{0, 3, TX_NOTE_INSERTED}));
  text_seek(t, 1);
  text_delete(t, 1);
  ASSERT_EQ(log.notes.size(), 3u);
  EXPECT_EQ(log.notes[1][2], TX_NOTE_DELETING);
  EXPECT_EQ(log.notes[2][2], TX_NOTE_DELETED);
  EXPECT_EQ(log.notes[2][1], 1);
  log.allow = false;
  EXPECT_EQ(text_write(t, "x", 1), 0);
  EXPECT_EQ(text_delete(t, 1), 0);
  EXPECT_EQ(contents(t), "ac");
  EXPECT_EQ(log.notes.size(), 3u);
  t->view_ops = nullptr;
  text_free(t);
}

TEST(TextAttachments, MarksFollowEdits) {
  Text* t = text_new();
  text_write(t, "0123456789", 10);
  TextMarks* mk = (TextMarks*)malloc(sizeof(TextMarks));
  mk->count = mk->capacity = 4;
  mk->pos = (TextPos*)malloc(4 * sizeof(TextPos));
  TextPos init[4] = {2, 5, 7, 9};
  memcpy(mk->pos, init, sizeof init);
  t->marks = mk;
  text_seek(t, 5);
  text_write(t, "ab", 2);  // a mark at the insertion point stays in front
  EXPECT_EQ(mk->pos[0], 2);
  EXPECT_EQ(mk->pos[1], 5);
  EXPECT_EQ(mk->pos[2], 9);
  EXPECT_EQ(mk->pos[3], 11);
  text_seek(t, 3);
  text_delete(t, 7);  // 3..10 goes; marks inside move to 3
  EXPECT_EQ(mk->pos[0], 2);
  EXPECT_EQ(mk->pos[1], 3);
  EXPECT_EQ(mk->pos[2], 3);
  EXPECT_EQ(mk->pos[3], 4);
  text_free(t);  // frees the mark list (ASan checks)
}

int g_write_back, g_save, g_release;
std::vector<PackedId> g_commands;

TEST(TextAttachments, ReleaseCallsFileHooksAndHandler) {
  TextFileHooks hooks = {[](Text*) { ++g_write_back; }, [](Text*) { ++g_save; },
                         [](Text*) { ++g_release; }};
  text_set_file_hooks(&hooks);
  g_write_back = g_save = g_release = 0;
  g_commands.clear();
  // Bound to an open file, modified: written back, then released.
  Text* a = text_new();
  a->file_handle = (void*)1;
  text_write(a, "x", 1);
  text_free(a);
  EXPECT_EQ(g_write_back, 1);
  EXPECT_EQ(g_release, 1);
  // Unmodified: nothing written.
  Text* b = text_new();
  b->file_handle = (void*)1;
  text_free(b);
  EXPECT_EQ(g_write_back, 1);
  EXPECT_EQ(g_release, 2);
  // Save on release with a handler: DELETE, then SAVE to the handler, not the hook.
  Text* c = text_new();
  text_set_save_on_free(c, true);
  c->command = [](Text*, PackedId cmd, intptr_t, uint32_t) -> intptr_t {
    g_commands.push_back(cmd);
    return 0;
  };
  c->command_kind = TX_CMD_CALL;
  text_write(c, "x", 1);
  text_free(c);
  EXPECT_EQ(g_commands, (std::vector<PackedId>{ID("DELETE"), ID("SAVE")}));
  EXPECT_EQ(g_save, 0);
  // Save on release without a handler: the hook saves.
  Text* d = text_new();
  text_set_save_on_free(d, true);
  d->file_name = strdup("zq://x.txt");
  text_write(d, "x", 1);
  text_free(d);
  EXPECT_EQ(g_save, 1);
  // Kind 2 accepts commands and ignores them.
  Text* e = text_new();
  e->command_kind = TX_CMD_IGNORE;
  e->command = [](Text*, PackedId, intptr_t, uint32_t) -> intptr_t {
    ADD_FAILURE();
    return 0;
  };
  text_free(e);
  text_set_file_hooks(nullptr);
}

TEST(TextAttachments, RestrictedStart) {
  static const TextViewOps ops = {nullptr, nullptr, [](void*, Text*) -> TextPos { return 4; }};
  Text* t = text_new();
  text_write(t, "hdr\nbody\n", 9);
  t->view_ops = &ops;
  t->flags |= TX_RESTRICTED;
  text_top(t);
  EXPECT_EQ(text_tell(t), 4);
  text_seek(t, 0);
  EXPECT_TRUE(text_at_end(t));
  text_seek(t, 4);
  EXPECT_FALSE(text_at_end(t));
  EXPECT_FALSE(text_prev_line(t));
  text_clear(t);
  EXPECT_EQ(contents(t), "hdr\n");
  t->view_ops = nullptr;
  text_free(t);
}

}  // namespace
