// The description language: line kinds, option lists and item states, states written back into
// the lines, bindings to settings records, radio groups, choosing, accelerators and submenus.

#include "ui/desc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/text_fault.h"
#include "desc_util.h"

namespace {

TEST(DescLine, KindsPositionsAndIdentifiers) {
  struct {
    const char* line;
    DescLineKind kind;
    int pos;
    PackedId id;
    int label;
  } cases[] = {{"OK(b)\tOK\n", DESC_LINE_ITEM, 2, ID("OK"), 0},
               {"NEWCPY\tコピーして追加(&W)\t内容を\n", DESC_LINE_ITEM, 6, ID("NEWCPY"), 0},
               {"ok more", DESC_LINE_ITEM, 2, ID("OK"), 0},
               {"SAVEALL\tx\n", DESC_LINE_ITEM, 7, ID("SAVEAL"), 0},  // the seventh is ignored
               {"1\t検索(&S):%s\n", DESC_LINE_NUMBERED, 1, ID("1"), 1},
               {"10\t拡張子(&E):\n", DESC_LINE_NUMBERED, 2, ID("10"), 10},
               {"..メニュー(&F)\n", DESC_LINE_HEADING, 2, 0, 0},
               {"--sp\n", DESC_LINE_SEPARATOR, -1, 0, 0},
               {"{Enter}\tENTER\n", DESC_LINE_OTHER, -1, 0, 0},
               {"^C\tCOPY\n", DESC_LINE_OTHER, -1, 0, 0},
               {"OK$\tx\n", DESC_LINE_OTHER, -1, 0, 0},
               {"OK(\"b\")\tx\n", DESC_LINE_OTHER, -1, 0, 0},
               {"検索\tx\n", DESC_LINE_OTHER, -1, 0, 0},
               {"", DESC_LINE_OTHER, -1, 0, 0}};
  for (auto& c : cases) {
    bool numbered = false;
    EXPECT_EQ(desc_line_kind(c.line), c.kind) << c.line;
    EXPECT_EQ(desc_item_pos(c.line, &numbered), c.pos) << c.line;
    EXPECT_EQ(numbered, c.kind == DESC_LINE_NUMBERED) << c.line;
    EXPECT_EQ(desc_item_id(c.line), c.id) << c.line;
    EXPECT_EQ(desc_label_number(c.line), c.label) << c.line;
  }
  EXPECT_EQ(desc_heading_level("..日付\n"), 2);
}

std::string field(const char* (*get)(const char*, int*), const char* line) {
  int n = -1;
  const char* p = get(line, &n);
  return std::string(p, n);
}

TEST(DescLine, CaptionAndHelpFields) {
  const char* l = "CONFIG\t編集(&S)...\t設定ダイアログを表示します\n";
  EXPECT_EQ(field(desc_caption, l), "編集(&S)...");
  EXPECT_EQ(field(desc_help, l), "設定ダイアログを表示します");
  EXPECT_EQ(field(desc_caption, "OK(b)\t  OK  \n"), "  OK  ");  // blanks remain
  EXPECT_EQ(field(desc_help, "OK(b)\tOK\n"), "");
  EXPECT_EQ(field(desc_caption, "..日付\n"), "日付");
  EXPECT_EQ(field(desc_caption, "--\n"), "");
}

TEST(DescState, OptionWordsAndStoredNumbers) {
  struct {
    const char* line;
    uint32_t state;
  } cases[] = {{"OK(b)\tOK\n", DESC_DEFAULT},
               {"IGNORE(cb)\t今後\n", DESC_CHECKBOX},
               {"X(cb ck)\tx\n", DESC_CHECKBOX | DESC_CHECKED},
               {"X(ck=0 cb)\tx\n", DESC_CHECKBOX},
               {"X(cb ck=2)\tx\n", DESC_CHECKBOX | DESC_CHECKED},
               {"X(icon ptn bmp link cfg cmd rb)\tx\n",
                DESC_ICON | DESC_PTN | DESC_BMP | DESC_LINK | DESC_CFG | DESC_CMD | DESC_RADIO},
               {"X(frob=7 b nope)\tx\n", DESC_DEFAULT},  // unknown words skipped with values
               {"X(b$x)\tx\n", 0},                       // one word, not b
               {"1(cb)\t検索\n", DESC_NUMBERED | DESC_CHECKBOX},
               {"X(5 b cb)\tx\n", 5},  // the stored number wins over the words
               {"X(99999999999 b)\tx\n", 0xFFFFFFFFu},
               {"--sp\n", 0},
               // The list ends at its ")" or at the tab: a caption is never read as options.
               {"X(cb id=FOO)\t5 lines\n", DESC_CHECKBOX},
               {"X(cb mask=4)\tb ck\n", DESC_CHECKBOX},
               {"X(cb id=FOO\tb\n", DESC_CHECKBOX},
               {"X(cb id=FOO\tb ck)\n", DESC_CHECKBOX},  // caption words after the tab
               {"X(cb\tb ck icon)\n", DESC_CHECKBOX}};
  for (auto& c : cases) {
    Owned d(c.line);
    EXPECT_EQ(desc_item_state(d.t, 0), c.state) << c.line;
    EXPECT_EQ(desc_parse_options(d.t, 0, DESC_READ), c.state) << c.line;
    EXPECT_EQ(d.str(), c.line) << "reading changed the line";
  }
}

TEST(DescState, WrittenIntoTheLine) {
  struct {
    const char* before;
    uint32_t state;
    const char* after;  // null: refused, unchanged
  } cases[] = {{"OK(b)\tOK\n", DESC_DEFAULT, "OK(1073741824 b)\tOK\n"},
               {"IGNORE\t今後\n", DESC_CHECKED, "IGNORE(1)\t今後\n"},
               {"X(5 b)\tx\n", 17, "X(17 b)\tx\n"},
               {"X(b 5)\tx\n", 0, "X(b 0)\tx\n"},
               {"X()\tx\n", 3, "X(3)\tx\n"},
               {"1\t検索(&S):\n", 0x42, "1(66)\t検索(&S):\n"},
               {"--sp\n", 1, nullptr},
               {"..日付\n", 1, nullptr}};
  for (auto& c : cases) {
    Owned d(c.before);
    EXPECT_EQ(desc_set_state(d.t, 0, c.state), c.after != nullptr) << c.before;
    EXPECT_EQ(d.str(), c.after ? c.after : c.before);
    EXPECT_EQ(desc_item_state(d.t, 0), c.after ? c.state : 0u) << c.before;
  }
  // Drawn once, then changed: the number wins over the words from then on.
  Owned d("CANCEL\tキャンセル\nOK(b)\tOK\n");
  EXPECT_EQ(desc_parse_options(d.t, d.line(2), DESC_INIT), DESC_DEFAULT);
  EXPECT_EQ(d.str(), "CANCEL\tキャンセル\nOK(1073741824 b)\tOK\n");
  ASSERT_TRUE(desc_set_state(d.t, d.line(2), DESC_CHECKED));
  EXPECT_EQ(desc_item_state(d.t, d.line(2)), DESC_CHECKED);
}

TEST(DescState, FailedWriteLosesNothing) {
  std::string line = "X(5 b)\t" + std::string(242, 'x') + "\n";
  Owned d(line.c_str());
  ASSERT_EQ(d.t->capacity, text_length(d.t));  // no room left: the next insertion allocates
  text_fail_alloc_after(0);
  EXPECT_FALSE(desc_set_state(d.t, 0, 17));
  text_fail_alloc_after(0);
  EXPECT_TRUE(desc_enable(d.t, ID("X"), false));  // the item is there; its state stays
  text_fail_alloc_after(-1);
  EXPECT_EQ(d.str(), line);
}

TEST(DescState, CursorStaysOnItsLine) {
  Owned d("A(cb)\ta\nB(cb)\tb\nC(cb)\tc\n");
  text_seek(d.t, d.line(3) + 2);
  ASSERT_TRUE(desc_check(d.t, ID("A"), true));
  ASSERT_TRUE(desc_enable(d.t, ID("B"), false));
  EXPECT_EQ(text_tell(d.t), d.line(3) + 2);
}

// ---- bindings ----

TEST(DescBinding, CheckBoxMasks) {
  struct {
    const char* options;  // formatted with the record and the mask
    int32_t mask;
    int64_t before;  // -1: header absent
    bool checked;
    bool check;     // then checked or unchecked
    int64_t after;  // -1: still absent
  } cases[] = {{"X(cb text=%p id=FFIND mask=%d)\t大文字(&C)\n", 1, 2, false, true, 3},
               {"X(cb text=%p id=FFIND mask=%d)\tx\n", 1, 3, true, false, 2},
               {"X(cb text=%p id=FFIND mask=%d)\tx\n", 1, -1, false, true, 1},  // write creates
               {"X(cb text=%p id=FFIND mask=%d)\tx\n", -5, -1, true, false, 5},
               {"X(cb text=%p id=FFIND mask=%d)\tx\n", -5, 2, true, false, 7},
               {"X(cb text=%p id=FFIND mask=%d)\tx\n", -5, 1, false, true, 0},
               {"X(cb text=%p id=FFIND mask=%d)\tx\n", -5, 7, false, true, 2},
               {"X(cb text=%p id=FFIND)\tｻﾌﾞﾌｫﾙﾀﾞも検索(&U)\n", 0, 9, true, false, 0},
               {"X(cb text=%p id=FFIND)\tx\n", 0, -1, false, false, -1},   // nothing written
               {"X(cb ck text=%p id=FFIND)\tx\n", 0, 0, false, true, 1}};  // record beats ck
  for (auto& c : cases) {
    Record rec;
    if (c.before >= 0) rec.set(ID("FFIND"), c.before);
    std::string line = line_of(c.options, rec.t, c.mask);
    Owned d(line.c_str());
    DescBinding b;
    uint32_t st = desc_parse_options(d.t, 0, DESC_READ, &b);
    EXPECT_TRUE(b.bound() && b.record == rec.t && b.key == ID("FFIND") && b.mask == c.mask);
    EXPECT_EQ((st & DESC_CHECKED) != 0, c.checked) << line << " v=" << c.before;
    EXPECT_TRUE(desc_check(d.t, ID("X"), c.check));
    EXPECT_EQ(rec.get(ID("FFIND")), c.after) << line << " v=" << c.before;
  }
}

TEST(DescBinding, WrittenOnlyWhenTheValueChanges) {
  Record rec;
  rec.set(ID("FGREP"), 1);
  Owned d(line_of("FGREP(cb text=%p id=FGREP)\tx\n", rec.t).c_str());
  uint32_t mods = rec.t->mod_count;
  desc_parse_options(d.t, 0, DESC_INIT);
  EXPECT_TRUE(desc_is_checked(d.t, ID("FGREP")));
  EXPECT_TRUE(desc_check(d.t, ID("FGREP"), true));
  EXPECT_EQ(rec.t->mod_count, mods);
  EXPECT_TRUE(desc_check(d.t, ID("FGREP"), false));
  EXPECT_EQ(rec.get(ID("FGREP")), 0);
}

TEST(DescBinding, MailStyleKeyAndGroupQuery) {
  Record rec;
  Owned d(line_of("SUBJ(cb text=%p mh=TITLE)\tx\n", rec.t).c_str());
  DescBinding b;
  EXPECT_EQ(desc_parse_options(d.t, 0, DESC_GROUP, &b), DESC_CHECKBOX);
  EXPECT_EQ(b.kind, HK_MAIL | HV_INT);
  EXPECT_FALSE(b.read);
  ASSERT_TRUE(desc_set_state(d.t, 0, DESC_CHECKBOX | DESC_CHECKED));
  desc_parse_options(d.t, 0, DESC_WRITE);
  EXPECT_EQ(rec.get(ID("TITLE"), HK_MAIL | HV_INT), 1);
}

TEST(DescBinding, NumbersThatAreNoLiveTextBindNothing) {
  Record rec;
  Text* gone = record_new("gone");
  std::string stale = line_of("X(cb ck text=%p id=X)\tx\n", gone);
  text_free(gone);
  std::string lines[] = {"X(cb ck text=0 id=X)\tx\n", "X(cb ck text=12345 id=X)\tx\n",
                         "X(cb ck text=99999999999999999999999 id=X)\tx\n", stale,
                         line_of("X(cb ck text=%d id=X)\tx\n", (int64_t)(uintptr_t)rec.t + 8)};
  for (const std::string& l : lines) {
    Owned d(l.c_str());
    DescBinding b;
    EXPECT_EQ(desc_parse_options(d.t, 0, DESC_READ, &b), DESC_CHECKBOX | DESC_CHECKED) << l;
    EXPECT_EQ(b.record, nullptr) << l;
  }
}

// ---- radio groups ----

const char* kSearchModes =
    "BASIC(rb text=%p id=FFINDM)\t基本(&M)\nFUZZY(rb)\t曖昧(&X)\nWORD(rb)\t単語(&W)\n"
    "RE(rb)\t正規(&E)\n--\nLEFT(rb)\t左\nRIGHT(rb ck)\t右\n";

PackedId checked_in(Owned& d, int line) {
  text_seek(d.t, d.line(line));
  return desc_radio(d.t, ID("GET"));
}

TEST(DescRadio, BoundGroupOpensOnTheStoredChoiceAndStoresTheChosen) {
  Record rec;
  rec.set(ID("FFINDM"), (int64_t)ID("WORD"));
  Owned d(line_of(kSearchModes, rec.t).c_str());
  EXPECT_EQ(desc_init_states(d.t), 6);
  EXPECT_EQ(checked_in(d, 1), ID("WORD"));
  EXPECT_EQ(checked_in(d, 6), ID("RIGHT"));  // the run after "--" is its own group
  struct {
    int line;
    PackedId chosen;
  } steps[] = {{4, ID("RE")}, {1, ID("BASIC")}, {2, ID("FUZZY")}};
  for (auto& s : steps) {
    text_seek(d.t, d.line(s.line));
    EXPECT_EQ(desc_radio(d.t, ID("SEL")), s.chosen);
    EXPECT_EQ(rec.get(ID("FFINDM")), (int64_t)s.chosen);
    int checked = 0;
    for (int k = 1; k <= 4; ++k) checked += (desc_item_state(d.t, d.line(k)) & DESC_CHECKED) != 0;
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(checked_in(d, 3), s.chosen);
  }
  EXPECT_EQ(checked_in(d, 7), ID("RIGHT"));  // untouched
  text_seek(d.t, d.line(5));
  EXPECT_EQ(desc_radio(d.t, ID("SEL")), 0u);  // "--" is no radio line
  EXPECT_TRUE(desc_check(d.t, ID("LEFT"), true));
  EXPECT_EQ(checked_in(d, 7), ID("LEFT"));
  EXPECT_TRUE(desc_check(d.t, ID("WORD"), true));
  EXPECT_EQ(rec.get(ID("FFINDM")), (int64_t)ID("WORD"));
}

// ---- finding, checking, enabling ----

TEST(DescItems, FindCheckAndIsChecked) {
  Owned d("--sp\nOK(b)\tOK\nIGNORE(cb)\t今後\nX(cb)\ta\nX(cb)\tb\n");
  EXPECT_TRUE(desc_find(d.t, ID("IGNORE")));
  EXPECT_EQ(text_tell(d.t), d.line(3));
  EXPECT_FALSE(desc_find(d.t, ID("NOPE")));
  EXPECT_EQ(text_tell(d.t), d.line(3));
  EXPECT_FALSE(desc_is_checked(d.t, ID("IGNORE")));
  EXPECT_TRUE(desc_check(d.t, ID("IGNORE"), true));
  EXPECT_TRUE(desc_is_checked(d.t, ID("IGNORE")));
  EXPECT_TRUE(desc_check(d.t, ID("X"), true));  // every item that bears it
  EXPECT_EQ(desc_item_state(d.t, d.line(5)), DESC_CHECKBOX | DESC_CHECKED);
  EXPECT_FALSE(desc_check(d.t, ID("NOPE"), true));
  EXPECT_FALSE(desc_check(nullptr, ID("X"), true));
}

TEST(DescItems, EnableAllSparesTheFileHistory) {
  Owned d("OK(b)\tOK\n--\n1\tラベル\n");
  text_bottom(d.t);
  char name[8];
  for (int k = 0; k < 21; ++k) text_printf(d.t, "%s\tfile\n", id_unpack(ID("FHIST0") + k, name));
  EXPECT_TRUE(desc_enable(d.t, ID("_ALL"), false));
  EXPECT_EQ(desc_item_state(d.t, d.line(1)), DESC_DEFAULT | DESC_DISABLED);
  EXPECT_EQ(desc_item_state(d.t, d.line(2)), 0u);
  EXPECT_EQ(desc_item_state(d.t, d.line(3)), DESC_NUMBERED | DESC_DISABLED);
  for (int k = 0; k < 21; ++k)
    EXPECT_EQ(desc_item_state(d.t, d.line(4 + k)), k == 20 ? DESC_DISABLED : 0u) << k;
  EXPECT_TRUE(desc_enable(d.t, ID("_ALL"), true));
  EXPECT_EQ(desc_item_state(d.t, d.line(1)), DESC_DEFAULT);
  EXPECT_TRUE(desc_enable(d.t, ID("FHIST0"), false));  // by name it is an item like any
  EXPECT_EQ(desc_item_state(d.t, d.line(4)), DESC_DISABLED);
}

// ---- choosing ----

TEST(DescChoose, WhatEachLineDoes) {
  Record rec;
  Owned d(line_of("OK(b)\tOK\n--sp\nOFF(2)\t無効\nCASE(cb text=%p id=FFIND mask=4)\tx\n"
                  "1\t検索(&S):\n94\tx\nA(rb)\ta\nB(rb)\tb\n..日付\n",
                  rec.t)
              .c_str());
  struct {
    int line;
    DescAction action;
    PackedId id;
    int child;
  } cases[] = {{1, DESC_COMMAND, ID("OK"), 0},   {2, DESC_NONE, 0, 0},      {3, DESC_NONE, 0, 0},
               {4, DESC_COMMAND, ID("CASE"), 0}, {5, DESC_FOCUS, 0, 30200}, {6, DESC_FOCUS, 0, 0},
               {8, DESC_COMMAND, ID("B"), 0},    {9, DESC_NONE, 0, 0}};
  for (auto& c : cases) {
    DescChoice ch = desc_choose(d.t, d.line(c.line));
    EXPECT_EQ(ch.action, c.action) << c.line;
    EXPECT_EQ(ch.id, c.id) << c.line;
    EXPECT_EQ(ch.child, c.child) << c.line;
  }
  EXPECT_EQ(desc_label_target(10), 30209);
  EXPECT_EQ(desc_label_target(93), 30292);
  EXPECT_EQ(rec.get(ID("FFIND")), 4);  // the check box toggled and stored at once
  desc_choose(d.t, d.line(4));
  EXPECT_EQ(rec.get(ID("FFIND")), 0);
  EXPECT_EQ(checked_in(d, 7), ID("B"));
  desc_choose(d.t, d.line(7));
  EXPECT_EQ(checked_in(d, 8), ID("A"));
}

TEST(DescChoose, ChangeHookSeesEveryChange) {
  static std::vector<std::pair<PackedId, uint32_t>> seen;
  desc_set_change_hook([](Text*, TextPos, PackedId id, uint32_t st) { seen.push_back({id, st}); });
  Owned d("A(rb ck)\ta\nB(rb)\tb\nC(cb)\tc\n");
  desc_check(d.t, ID("B"), true);
  desc_enable(d.t, ID("C"), false);
  desc_enable(d.t, ID("C"), false);  // no change, no call
  desc_set_change_hook(nullptr);
  desc_check(d.t, ID("C"), true);
  EXPECT_EQ(seen,
            (std::vector<std::pair<PackedId, uint32_t>>{{ID("A"), DESC_RADIO},
                                                        {ID("B"), DESC_RADIO | DESC_CHECKED},
                                                        {ID("C"), DESC_CHECKBOX | DESC_DISABLED}}));
}

// ---- accelerators ----

TEST(DescAccel, MarksInCaptions) {
  struct {
    const char* line;
    bool key_names;
    const char* accels;
  } cases[] = {{"EXIT\t終了(&C/&X)\n", false, "CX"},  {"OK(b)\t OK (&Y) \n", false, "Y"},
               {"1\t検索(&s):%s\n", false, "S"},      {"..メニュー(&F)\n", false, "F"},
               {"A\tA & B &\n", false, ""},           {"A\t&あ\n", false, ""},
               {"CLOSE\t閉じる Alt+F4\n", true, "F"}, {"CLOSE\t閉じる Alt+F4\n", false, ""},
               {"CLOSE\t&Close alt+x\n", true, "CX"}, {"CLOSE(b)\tx\tAlt+Q\n", true, ""}};
  for (auto& c : cases) {
    char out[8];
    EXPECT_EQ(desc_accelerators(c.line, c.key_names, out, sizeof out), (int)strlen(c.accels));
    EXPECT_STREQ(out, c.accels) << c.line;
  }
  EXPECT_TRUE(desc_has_accelerator("EXIT\t終了(&C/&X)\n", 'x', false));
}

TEST(DescAccel, OneMatchChoosesSeveralMoveTheCursor) {
  Owned d(
      "OPEN\t開く(&O)\nOTHER\tその他(&O)\nSAVE(2)\t保存(&S)\n--\nONCE\t一度(&O)\n"
      "QUIT\t終了(&Q)\n..日付(&D)\nYMD\t年月日(&Y)\n..end\nLAST\t最後(&L)\n");
  struct {
    int ch, current, count, line;  // lines 1-based, 0: none
  } cases[] = {{'q', 0, 1, 6}, {'O', 0, 3, 1}, {'O', 1, 3, 2}, {'O', 2, 3, 5},  {'O', 5, 3, 1},
               {'S', 0, 0, 0}, {'D', 0, 1, 7}, {'Y', 0, 0, 0}, {'L', 3, 1, 10}, {'Z', 0, 0, 0}};
  for (auto& c : cases) {
    DescAccelHit h = desc_accelerator(d.t, c.ch, c.current ? d.line(c.current) : -1, false);
    EXPECT_EQ(h.count, c.count) << (char)c.ch << c.current;
    EXPECT_EQ(h.line, c.line ? d.line(c.line) : -1) << (char)c.ch << c.current;
  }
}

// ---- submenus ----

const char* kMacroMenu =
    "YYYY\t西暦4桁(2016)\n..日付\nYY\t西暦2桁\n...詳しく\nMM\t月\n...end\n..end\n"
    "..時刻\nHH\t時\nTT\t分\n--\n.次\nNEXT\t次へ\n";

TEST(DescSubmenu, ShownLinesAndBlocks) {
  Owned d(kMacroMenu);
  std::vector<int> shown;
  for (TextPos p = desc_next_shown(d.t, -1); p >= 0; p = desc_next_shown(d.t, p)) {
    int n = 1;
    while (d.line(n + 1) >= 0 && d.line(n + 1) <= p) ++n;
    shown.push_back(n);
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 8, 12}));
  EXPECT_EQ(desc_submenu_end(d.t, d.line(2)), d.line(8));   // after its "..end"
  EXPECT_EQ(desc_submenu_end(d.t, d.line(8)), d.line(12));  // stopped by ".次"
  EXPECT_EQ(desc_submenu_end(d.t, d.line(12)), text_length(d.t));
  EXPECT_EQ(desc_submenu_end(d.t, d.line(7)), -1);  // "..end" opens nothing
  Owned sub(desc_submenu(d.t, d.line(2), false));
  EXPECT_EQ(sub.str(), "YY\t西暦2桁\n.詳しく\nMM\t月\n.end\n");
  Owned kept(desc_submenu(d.t, d.line(2), true));
  EXPECT_EQ(kept.str(), "YY\t西暦2桁\n...詳しく\nMM\t月\n...end\n");
  EXPECT_EQ(desc_submenu(d.t, d.line(1), false), nullptr);
}

}  // namespace
