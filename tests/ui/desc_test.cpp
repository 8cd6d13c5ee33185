// The description language: line kinds, option lists and item states, states written back into
// the lines, bindings to settings records, radio groups, choosing, accelerators and submenus.

#include "ui/desc.h"

#include <gtest/gtest.h>

#include <vector>

#include "desc_util.h"

namespace {

struct LineCase {
  const char* line;
  DescLineKind kind;
  int pos;
  bool numbered;
  PackedId id;
  int label;
};

TEST(DescLine, KindsPositionsAndIdentifiers) {
  const LineCase cases[] = {
      {"OK(b)\tOK\n", DESC_LINE_ITEM, 2, false, ID("OK"), 0},
      {"NEWCPY\tコピーして追加(&W)\t内容をコピーして新規の見出しを追加します\n", DESC_LINE_ITEM, 6,
       false, ID("NEWCPY"), 0},
      {"OK", DESC_LINE_ITEM, 2, false, ID("OK"), 0},
      {"ok more\n", DESC_LINE_ITEM, 2, false, ID("OK"), 0},
      {"SAVEALL\tx\n", DESC_LINE_ITEM, 7, false, ID("SAVEAL"), 0},  // the seventh is ignored
      {"1\t検索(&S):%s\n", DESC_LINE_NUMBERED, 1, true, ID("1"), 1},
      {"10\t拡張子(&E):\n", DESC_LINE_NUMBERED, 2, true, ID("10"), 10},
      {"93(cb)\tx\n", DESC_LINE_NUMBERED, 2, true, ID("93"), 93},
      {"..メニュー(&F)\n", DESC_LINE_HEADING, 2, false, 0, 0},
      {".END\n", DESC_LINE_HEADING, 1, false, 0, 0},
      {"--\n", DESC_LINE_SEPARATOR, -1, false, 0, 0},
      {"--sp\n", DESC_LINE_SEPARATOR, -1, false, 0, 0},
      {"{Enter}\tENTER\n", DESC_LINE_OTHER, -1, false, 0, 0},
      {"+^{Tab}\tFOCUSP\n", DESC_LINE_OTHER, -1, false, 0, 0},
      {"^C\tCOPY\n", DESC_LINE_OTHER, -1, false, 0, 0},
      {"OK$\tx\n", DESC_LINE_OTHER, -1, false, 0, 0},  // a character that ends no identifier
      {"OK_X\tx\n", DESC_LINE_OTHER, -1, false, 0, 0},
      {"OK(\"b\")\tx\n", DESC_LINE_OTHER, -1, false, 0, 0},  // "(" and a double quote
      {"検索\tx\n", DESC_LINE_OTHER, -1, false, 0, 0},
      {"", DESC_LINE_OTHER, -1, false, 0, 0},
      {"\n", DESC_LINE_OTHER, -1, false, 0, 0},
  };
  for (const LineCase& c : cases) {
    bool numbered = !c.numbered;
    EXPECT_EQ(desc_line_kind(c.line), c.kind) << c.line;
    EXPECT_EQ(desc_item_pos(c.line, &numbered), c.pos) << c.line;
    EXPECT_EQ(numbered, c.numbered) << c.line;
    EXPECT_EQ(desc_item_id(c.line), c.id) << c.line;
    EXPECT_EQ(desc_label_number(c.line), c.label) << c.line;
  }
  EXPECT_EQ(desc_heading_level("..日付\n"), 2);
  EXPECT_EQ(desc_heading_level("OK\n"), 0);
}

TEST(DescLine, LabelTargets) {
  const int cases[][2] = {{1, 30200}, {3, 30202}, {10, 30209}, {93, 30292}, {94, 0}, {0, 0}};
  for (auto& c : cases) EXPECT_EQ(desc_label_target(c[0]), c[1]) << c[0];
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
  EXPECT_EQ(field(desc_caption, "1(cb)\tラベル\n"), "ラベル");
}

struct StateCase {
  const char* line;
  uint32_t state;
};

TEST(DescState, OptionWordsAndStoredNumbers) {
  const StateCase cases[] = {
      {"OK(b)\tOK\n", DESC_DEFAULT},
      {"IGNORE(cb)\t今後このメッセージを表示しない(&I)\n", DESC_CHECKBOX},
      {"X(cb ck)\tx\n", DESC_CHECKBOX | DESC_CHECKED},
      {"X(cb ck=0)\tx\n", DESC_CHECKBOX},
      {"X(cb ck=2)\tx\n", DESC_CHECKBOX | DESC_CHECKED},
      {"X(ck=0 cb)\tx\n", DESC_CHECKBOX},
      {"X(rb)\tx\n", DESC_RADIO},
      {"X(icon ptn bmp link cfg cmd)\tx\n",
       DESC_ICON | DESC_PTN | DESC_BMP | DESC_LINK | DESC_CFG | DESC_CMD},
      {"X(frob=7 b nope)\tx\n", DESC_DEFAULT},  // unknown words are skipped with their values
      {"X(b$x)\tx\n", 0},                       // "b$x" is one word, not b
      {"1\t検索(&S):\n", DESC_NUMBERED},
      {"1(cb)\tx\n", DESC_NUMBERED | DESC_CHECKBOX},
      {"X(5 b cb)\tx\n", 5},  // the stored number wins over the words
      {"X(1073741825 b)\tx\n", DESC_DEFAULT | DESC_CHECKED},
      {"X(99999999999 b)\tx\n", 0xFFFFFFFFu},
      {"X\tx\n", 0},
      {"--sp\n", 0},
      {"..end\n", 0},
      {"{Esc}\tESC\n", 0},
      // The list ends at its ")" or at the tab: a caption is never read as options.
      {"X(cb id=FOO)\t5 lines\n", DESC_CHECKBOX},
      {"X(cb mask=4)\tb ck\n", DESC_CHECKBOX},
      {"X(rb)\tck\n", DESC_RADIO},
      {"X(cb id=FOO\tb\n", DESC_CHECKBOX},
  };
  for (const StateCase& c : cases) {
    Owned d(c.line);
    EXPECT_EQ(desc_item_state(d.t, 0), c.state) << c.line;
    EXPECT_EQ(desc_parse_options(d.t, 0, DESC_READ), c.state) << c.line;
    EXPECT_EQ(d.str(), c.line) << "reading changed the line";
  }
}

struct SetCase {
  const char* before;
  uint32_t state;
  bool ok;
  const char* after;
};

TEST(DescState, WrittenIntoTheLine) {
  const SetCase cases[] = {
      {"OK(b)\tOK\n", DESC_DEFAULT, true, "OK(1073741824 b)\tOK\n"},
      {"IGNORE\t今後\n", DESC_CHECKED, true, "IGNORE(1)\t今後\n"},
      {"X(5 b)\tx\n", 17, true, "X(17 b)\tx\n"},
      {"X(b 5)\tx\n", 0, true, "X(b 0)\tx\n"},
      {"X()\tx\n", 3, true, "X(3)\tx\n"},
      {"OK", 2, true, "OK(2)"},
      {"1\t検索(&S):\n", 0x42, true, "1(66)\t検索(&S):\n"},
      {"--sp\n", 1, false, "--sp\n"},
      {"..日付\n", 1, false, "..日付\n"},
      {"{Enter}\tENTER\n", 1, false, "{Enter}\tENTER\n"},
  };
  for (const SetCase& c : cases) {
    Owned d(c.before);
    EXPECT_EQ(desc_set_state(d.t, 0, c.state), c.ok) << c.before;
    EXPECT_EQ(d.str(), c.after) << c.before;
    if (c.ok) {
      EXPECT_EQ(desc_item_state(d.t, 0), c.state) << c.before;
    }
  }
}

TEST(DescState, NumberWinsOverWordsOnceWritten) {
  Owned d("CANCEL\tキャンセル\nOK(b)\tOK\n--\n");
  TextPos ok = d.line(2);
  uint32_t drawn = desc_parse_options(d.t, ok, DESC_INIT);
  EXPECT_EQ(drawn, DESC_DEFAULT);
  EXPECT_EQ(d.str(), "CANCEL\tキャンセル\nOK(1073741824 b)\tOK\n--\n");
  ASSERT_TRUE(desc_set_state(d.t, ok, drawn | DESC_DISABLED));
  EXPECT_EQ(desc_item_state(d.t, ok), DESC_DEFAULT | DESC_DISABLED);
  ASSERT_TRUE(desc_set_state(d.t, ok, DESC_CHECKED));
  EXPECT_EQ(desc_item_state(d.t, ok), DESC_CHECKED);  // b no longer sets its bit
}

TEST(DescState, CursorStaysOnItsLine) {
  Owned d("A(cb)\ta\nB(cb)\tb\nC(cb)\tc\n");
  text_seek(d.t, d.line(3) + 2);
  ASSERT_TRUE(desc_check(d.t, ID("A"), true));
  ASSERT_TRUE(desc_enable(d.t, ID("B"), false));
  EXPECT_EQ(text_tell(d.t), d.line(3) + 2);
  EXPECT_EQ(desc_item_id(text_line_ptr(d.t)), ID("C"));
}

// ---- bindings ----

struct BindCase {
  const char* options;  // formatted with the record and the mask
  int32_t mask;
  int64_t before;  // -1: header absent
  bool checked;
  bool check;     // then checked (true) or unchecked
  int64_t after;  // -1: still absent
};

TEST(DescBinding, CheckBoxMasks) {
  const BindCase cases[] = {
      {"CASE(cb text=%p id=FFIND mask=%d)\t大文字と小文字を区別(&C)\n", 1, 2, false, true, 3},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", 1, 3, true, false, 2},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", 32, 32, true, true, 32},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", 1, -1, false, true, 1},  // first write creates
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", -5, -1, true, false, 5},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", -5, 2, true, false, 7},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", -5, 1, false, true, 0},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", -5, 7, false, true, 2},
      {"CASE(cb text=%p id=FFIND mask=%d)\tx\n", -5, 4, false, true, 0},
      {"FGREP(cb text=%p id=FFIND)\tｻﾌﾞﾌｫﾙﾀﾞも検索(&U)\n", 0, 9, true, false, 0},
      {"FGREP(cb text=%p id=FFIND)\tx\n", 0, 0, false, true, 1},
      {"FGREP(cb text=%p id=FFIND)\tx\n", 0, -1, false, false, -1},  // nothing to write
      {"FGREP(cb ck text=%p id=FFIND)\tx\n", 0, 0, false, true, 1},  // the record wins over ck
  };
  for (const BindCase& c : cases) {
    Record rec;
    if (c.before >= 0) rec.set(ID("FFIND"), c.before);
    std::string line = line_of(c.options, rec.t, c.mask);
    Owned d(line.c_str());
    DescBinding b;
    uint32_t st = desc_parse_options(d.t, 0, DESC_READ, &b);
    EXPECT_TRUE(b.bound()) << line;
    EXPECT_EQ(b.record, rec.t);
    EXPECT_EQ(b.key, ID("FFIND"));
    EXPECT_EQ(b.mask, c.mask);
    EXPECT_EQ((st & DESC_CHECKED) != 0, c.checked) << line << " v=" << c.before;
    EXPECT_EQ(
        desc_check(d.t, ID(desc_item_id(line.c_str()) == ID("CASE") ? "CASE" : "FGREP"), c.check),
        true);
    EXPECT_EQ(rec.get(ID("FFIND")), c.after) << line << " v=" << c.before;
  }
}

TEST(DescBinding, WrittenOnlyWhenTheValueChanges) {
  Record rec;
  rec.set(ID("FGREP"), 1);
  std::string line = line_of("FGREP(cb text=%p id=FGREP)\tx\n", rec.t);
  Owned d(line.c_str());
  uint32_t mods = rec.t->mod_count;
  desc_parse_options(d.t, 0, DESC_INIT);
  EXPECT_TRUE(desc_is_checked(d.t, ID("FGREP")));
  EXPECT_TRUE(desc_check(d.t, ID("FGREP"), true));
  EXPECT_EQ(rec.t->mod_count, mods);
  EXPECT_TRUE(desc_check(d.t, ID("FGREP"), false));
  EXPECT_EQ(rec.get(ID("FGREP")), 0);
  EXPECT_NE(rec.t->mod_count, mods);
}

TEST(DescBinding, MailStyleKeyAndGroupQuery) {
  Record rec;
  std::string line = line_of("SUBJ(cb text=%p mh=TITLE)\tx\n", rec.t);
  Owned d(line.c_str());
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
  rec.set(ID("X"), 1);
  const char* lines[] = {"X(cb ck text=0 id=X)\tx\n", "X(cb ck text=12345 id=X)\tx\n",
                         "X(cb ck text=99999999999999999999999 id=X)\tx\n"};
  for (const char* l : lines) {
    Owned d(l);
    DescBinding b;
    EXPECT_EQ(desc_parse_options(d.t, 0, DESC_READ, &b), DESC_CHECKBOX | DESC_CHECKED) << l;
    EXPECT_FALSE(b.bound()) << l;
  }
  // A pointer into a Text, but not to one, is refused as well.
  std::string inside = line_of("X(cb text=%d id=X)\tx\n", (int64_t)(uintptr_t)rec.t + 8);
  Owned d(inside.c_str());
  DescBinding b;
  desc_parse_options(d.t, 0, DESC_READ, &b);
  EXPECT_EQ(b.record, nullptr);
  // A freed record is no binding either.
  Text* gone = record_new("gone");
  std::string stale = line_of("X(cb text=%p id=X)\tx\n", gone);
  text_free(gone);
  Owned s(stale.c_str());
  desc_parse_options(s.t, 0, DESC_READ, &b);
  EXPECT_EQ(b.record, nullptr);
}

// ---- radio groups ----

const char* kSearchModes =
    "BASIC(rb text=%p id=FFINDM)\t基本(&M)\n"
    "FUZZY(rb)\t曖昧(&X)\n"
    "WORD(rb)\t単語(&W)\n"
    "RE(rb)\t正規(&E)\n"
    "--\n"
    "LEFT(rb)\t左\n"
    "RIGHT(rb ck)\t右\n";

TEST(DescRadio, BoundGroupOpensOnTheStoredChoice) {
  Record rec;
  rec.set(ID("FFINDM"), (int64_t)ID("WORD"));
  Owned d(line_of(kSearchModes, rec.t).c_str());
  EXPECT_EQ(desc_init_states(d.t), 6);
  text_seek(d.t, d.line(1));
  EXPECT_EQ(desc_radio(d.t, ID("GET")), ID("WORD"));
  text_seek(d.t, d.line(6));
  EXPECT_EQ(desc_radio(d.t, ID("GET")), ID("RIGHT"));  // the run after "--" is its own group
  EXPECT_EQ(desc_item_state(d.t, d.line(3)), DESC_RADIO | DESC_CHECKED);
  EXPECT_EQ(desc_item_state(d.t, d.line(1)), DESC_RADIO);
}

TEST(DescRadio, SelectStoresTheChosenIdentifier) {
  Record rec;
  Owned d(line_of(kSearchModes, rec.t).c_str());
  desc_init_states(d.t);
  struct {
    int line;
    PackedId chosen;
  } steps[] = {{3, ID("WORD")}, {4, ID("RE")}, {1, ID("BASIC")}, {2, ID("FUZZY")}};
  for (auto& s : steps) {
    text_seek(d.t, d.line(s.line));
    EXPECT_EQ(desc_radio(d.t, ID("SEL")), s.chosen);
    EXPECT_EQ(rec.get(ID("FFINDM")), (int64_t)s.chosen);
    EXPECT_EQ(desc_radio(d.t, ID("GET")), s.chosen);
    int checked = 0;
    for (int k = 1; k <= 4; ++k) checked += (desc_item_state(d.t, d.line(k)) & DESC_CHECKED) != 0;
    EXPECT_EQ(checked, 1);
  }
  text_seek(d.t, d.line(7));
  EXPECT_EQ(desc_radio(d.t, ID("GET")), ID("RIGHT"));  // untouched
  text_seek(d.t, d.line(5));
  EXPECT_EQ(desc_radio(d.t, ID("SEL")), 0u);  // "--" is no radio line
  EXPECT_TRUE(desc_check(d.t, ID("LEFT"), true));
  text_seek(d.t, d.line(7));
  EXPECT_EQ(desc_radio(d.t, ID("GET")), ID("LEFT"));
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
  EXPECT_EQ(desc_item_state(d.t, d.line(4)), DESC_CHECKBOX | DESC_CHECKED);
  EXPECT_EQ(desc_item_state(d.t, d.line(5)), DESC_CHECKBOX | DESC_CHECKED);
  EXPECT_FALSE(desc_check(d.t, ID("NOPE"), true));
  EXPECT_FALSE(desc_check(nullptr, ID("X"), true));
  EXPECT_FALSE(desc_is_checked(nullptr, ID("X")));
}

TEST(DescItems, EnableAllSparesTheFileHistory) {
  Owned d;
  text_printf(d.t, "OK(b)\tOK\n--\n1\tラベル\n");
  char name[8];
  for (int k = 0; k < 21; ++k) text_printf(d.t, "%s\tfile\n", id_unpack(ID("FHIST0") + k, name));
  text_top(d.t);
  EXPECT_TRUE(desc_enable(d.t, ID("_ALL"), false));
  EXPECT_TRUE(desc_item_state(d.t, d.line(1)) & DESC_DISABLED);
  EXPECT_EQ(desc_item_state(d.t, d.line(2)), 0u);
  EXPECT_TRUE(desc_item_state(d.t, d.line(3)) & DESC_DISABLED);
  for (int k = 0; k < 21; ++k) {
    bool disabled = desc_item_state(d.t, d.line(4 + k)) & DESC_DISABLED;
    EXPECT_EQ(disabled, k == 20) << k;
  }
  EXPECT_TRUE(desc_enable(d.t, ID("_ALL"), true));
  EXPECT_EQ(desc_item_state(d.t, d.line(1)), DESC_DEFAULT);
  EXPECT_TRUE(desc_enable(d.t, ID("FHIST0"), false));  // by name it is an item like any
  EXPECT_TRUE(desc_item_state(d.t, d.line(4)) & DESC_DISABLED);
}

// ---- choosing ----

TEST(DescChoose, WhatEachLineDoes) {
  Record rec;
  std::string text = line_of(
      "OK(b)\tOK\n--sp\nOFF(2)\t無効\nCASE(cb text=%p id=FFIND mask=4)\tx\n1\t検索(&S):\n"
      "94\tx\nA(rb)\ta\nB(rb)\tb\n..日付\n",
      rec.t);
  Owned d(text.c_str());
  struct {
    int line;
    DescAction action;
    PackedId id;
    int child;
  } cases[] = {
      {1, DESC_COMMAND, ID("OK"), 0},   {2, DESC_NONE, 0, 0},      {3, DESC_NONE, 0, 0},
      {4, DESC_COMMAND, ID("CASE"), 0}, {5, DESC_FOCUS, 0, 30200}, {6, DESC_FOCUS, 0, 0},
      {8, DESC_COMMAND, ID("B"), 0},    {9, DESC_NONE, 0, 0},      {20, DESC_NONE, 0, 0},
  };
  for (auto& c : cases) {
    DescChoice ch = desc_choose(d.t, c.line <= 9 ? d.line(c.line) : 10000);
    EXPECT_EQ(ch.action, c.action) << c.line;
    EXPECT_EQ(ch.id, c.id) << c.line;
    EXPECT_EQ(ch.child, c.child) << c.line;
  }
  EXPECT_EQ(rec.get(ID("FFIND")), 4);  // the check box toggled and stored at once
  desc_choose(d.t, d.line(4));
  EXPECT_EQ(rec.get(ID("FFIND")), 0);
  EXPECT_TRUE(desc_item_state(d.t, d.line(8)) & DESC_CHECKED);
  desc_choose(d.t, d.line(7));
  EXPECT_FALSE(desc_item_state(d.t, d.line(8)) & DESC_CHECKED);
}

TEST(DescChoose, ChangeHookSeesEveryChange) {
  struct Seen {
    PackedId id;
    uint32_t state;
  };
  static std::vector<Seen> seen;
  seen.clear();
  desc_set_change_hook([](Text*, TextPos, PackedId id, uint32_t st) { seen.push_back({id, st}); });
  Owned d("A(rb ck)\ta\nB(rb)\tb\nC(cb)\tc\n");
  desc_check(d.t, ID("B"), true);
  desc_enable(d.t, ID("C"), false);
  desc_enable(d.t, ID("C"), false);  // no change, no call
  desc_set_change_hook(nullptr);
  desc_check(d.t, ID("C"), true);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].id, ID("A"));
  EXPECT_EQ(seen[0].state, DESC_RADIO);
  EXPECT_EQ(seen[1].id, ID("B"));
  EXPECT_EQ(seen[1].state, DESC_RADIO | DESC_CHECKED);
  EXPECT_EQ(seen[2].id, ID("C"));
  EXPECT_EQ(seen[2].state, DESC_CHECKBOX | DESC_DISABLED);
}

// ---- accelerators ----

TEST(DescAccel, MarksInCaptions) {
  struct {
    const char* line;
    bool key_names;
    const char* accels;
  } cases[] = {
      {"EXIT\t終了(&C/&X)\n", false, "CX"},
      {"OK(b)\t OK (&Y) \n", false, "Y"},
      {"1\t検索(&s):%s\n", false, "S"},
      {"..メニュー(&F)\n", false, "F"},
      {"A\tA & B &\n", false, ""},
      {"A\t&あ\n", false, ""},
      {"CLOSE\t閉じる Alt+F4\n", true, "F"},
      {"CLOSE\t閉じる Alt+F4\n", false, ""},
      {"CLOSE\t&Close alt+x\n", true, "CX"},
      {"CLOSE(b)\tx\tAlt+Q\n", true, ""},  // the help field holds no keys
  };
  for (auto& c : cases) {
    char out[8];
    int n = desc_accelerators(c.line, c.key_names, out, sizeof out);
    EXPECT_STREQ(out, c.accels) << c.line;
    EXPECT_EQ(n, (int)strlen(c.accels)) << c.line;
  }
  EXPECT_TRUE(desc_has_accelerator("EXIT\t終了(&C/&X)\n", 'x', false));
  EXPECT_FALSE(desc_has_accelerator("EXIT\t終了(&C/&X)\n", 'E', false));
}

TEST(DescAccel, OneMatchChoosesSeveralMoveTheCursor) {
  Owned d(
      "OPEN\t開く(&O)\n"
      "OTHER\tその他(&O)\n"
      "SAVE(2)\t保存(&S)\n"
      "--\n"
      "ONCE\t一度(&O)\n"
      "QUIT\t終了(&Q)\n"
      "..日付(&D)\n"
      "YMD\t年月日(&Y)\n"
      "..end\n"
      "LAST\t最後(&L)\n");
  struct {
    int ch;
    int current;  // line, 0: none
    int count;
    int line;  // 0: none
  } cases[] = {
      {'q', 0, 1, 6}, {'O', 0, 3, 1}, {'O', 1, 3, 2},  {'O', 2, 3, 5},
      {'O', 5, 3, 1}, {'S', 0, 0, 0},  // disabled
      {'D', 0, 1, 7}, {'Y', 0, 0, 0}, {'L', 3, 1, 10}, {'Z', 0, 0, 0},
  };
  for (auto& c : cases) {
    DescAccelHit h = desc_accelerator(d.t, c.ch, c.current ? d.line(c.current) : -1, false);
    EXPECT_EQ(h.count, c.count) << (char)c.ch << c.current;
    EXPECT_EQ(h.line, c.line ? d.line(c.line) : -1) << (char)c.ch << c.current;
  }
}

// ---- submenus ----

const char* kMacroMenu =
    "YYYY\t西暦4桁(2016)\n"
    "..日付\n"
    "YY\t西暦2桁\n"
    "...詳しく\n"
    "MM\t月\n"
    "...end\n"
    "..end\n"
    "..時刻\n"
    "HH\t時\n"
    "TT\t分\n"
    "--\n"
    ".次\n"
    "NEXT\t次へ\n";

TEST(DescSubmenu, ShownLinesSkipTheBlocks) {
  Owned d(kMacroMenu);
  std::vector<std::string> shown;
  for (TextPos p = desc_next_shown(d.t, -1); p >= 0; p = desc_next_shown(d.t, p)) {
    text_seek(d.t, p);
    const char* l = text_line_ptr(d.t);
    shown.emplace_back(l, strcspn(l, "\n"));
  }
  std::vector<std::string> want = {"YYYY\t西暦4桁(2016)", "..日付", "..時刻", ".次"};
  EXPECT_EQ(shown, want);
  EXPECT_EQ(desc_submenu_end(d.t, d.line(2)), d.line(8));   // after its "..end"
  EXPECT_EQ(desc_submenu_end(d.t, d.line(8)), d.line(12));  // stopped by ".次"
  EXPECT_EQ(desc_submenu_end(d.t, d.line(12)), text_length(d.t));
  EXPECT_EQ(desc_submenu_end(d.t, d.line(1)), -1);
  EXPECT_EQ(desc_submenu_end(d.t, d.line(7)), -1);  // "..end" opens nothing
}

TEST(DescSubmenu, BlockCopiedWithShorterHeadings) {
  Owned d(kMacroMenu);
  Owned sub(desc_submenu(d.t, d.line(2), false));
  EXPECT_EQ(sub.str(), "YY\t西暦2桁\n.詳しく\nMM\t月\n.end\n");
  Owned kept(desc_submenu(d.t, d.line(2), true));
  EXPECT_EQ(kept.str(), "YY\t西暦2桁\n...詳しく\nMM\t月\n...end\n");
  Owned last(desc_submenu(d.t, d.line(12), false));
  EXPECT_EQ(last.str(), "NEXT\t次へ\n");
  EXPECT_EQ(desc_submenu(d.t, d.line(1), false), nullptr);
}

}  // namespace
