// Menus as texts: named menus cut out of menu files, key lines and native command numbers.

#include <gtest/gtest.h>

#include "desc_util.h"
#include "ui/desc.h"
#include "ui/menu_text.h"

namespace {

const char* kFile =
    ".EDIT\nUNDO\t元に戻す(&U)\n--\n.マクロの挿入(&I)\nZZ\tunnamed\n"
    ".INSERT(&I)\n..日付\nYYYY\t西暦4桁(2016)\n..end\n..時刻\nHH\t時\n..end\n--\nDATE\t日付\n"
    ".DEEP\n...三段\nX\tx\n...end\n.END\nOUT\toutside every menu\n"
    ".LAST menu\nA\ta\nB\tb";  // no line end at the end

struct ExtractCase {
  PackedId name;
  bool keep;
  const char* menu;
};

TEST(MenuExtract, NamedMenusAndTheirLevels) {
  const ExtractCase cases[] = {
      {ID("EDIT"), false, "UNDO\t元に戻す(&U)\n--\n"},
      {ID("INSERT"), false,
       ".日付\nYYYY\t西暦4桁(2016)\n.end\n.時刻\nHH\t時\n.end\n--\nDATE\t日付\n"},
      {ID("INSERT"), true,
       "..日付\nYYYY\t西暦4桁(2016)\n..end\n..時刻\nHH\t時\n..end\n--\nDATE\t日付\n"},
      {ID("DEEP"), false, "..三段\nX\tx\n..end\n"},  // three dots under one come back as two
      {ID("LAST"), false, "A\ta\nB\tb"},             // the last heading runs to the end
      {ID("END"), false, ""},                        // an "end" heading names no menu
      {ID("NOPE"), false, ""},
      {0, false, ""},
  };
  Owned file(kFile);
  for (const ExtractCase& c : cases) {
    Owned from_string(menu_extract(kFile, c.name, c.keep));
    Owned from_text(menu_extract(file.t, c.name, c.keep));
    ASSERT_NE(from_string.t, nullptr);
    EXPECT_EQ(from_string.str(), c.menu);
    EXPECT_EQ(from_text.str(), c.menu);
    EXPECT_NE(text_prop(from_text.t, MENU_PROP_FIXED), 0);
    EXPECT_STREQ((const char*)text_prop(from_text.t, MENU_PROP_HELP), "std");
  }
  EXPECT_EQ(file.str(), kFile);
  Owned none(menu_extract(nullptr, ID("EDIT"), false));
  EXPECT_EQ(none.str(), "");
}

TEST(MenuExtract, BuiltinMenus) {
  const PackedId names[] = {ID("EDIT"), ID("VIEW"), ID("HELP")};
  for (PackedId n : names)
    EXPECT_GT(text_length(Owned(menu_extract(menu_builtin_text(), n, false)).t), 0);
  Owned help(menu_extract(menu_builtin_text(), ID("HELP"), false));
  EXPECT_EQ(help.str(), "..メニュー(&F)\nEXIT\t閉じる(&X)\n");
}

// ---- key lines ----

TEST(MenuKeys, KeyLines) {
  struct {
    const char* line;
    bool ok;
    int key;
    unsigned mods;
    PackedId command;
  } cases[] = {
      {"{Enter}\tENTER\n", true, MENU_VK_RETURN, 0, ID("ENTER")},
      {"{Enter}\tExit\n", true, MENU_VK_RETURN, 0, ID("EXIT")},
      {"+{DOWN}\tDOWNS\n", true, MENU_VK_DOWN, MENU_KEY_SHIFT, ID("DOWNS")},
      {"^C\tCOPY\n", true, 'C', MENU_KEY_CTRL, ID("COPY")},
      {"+^{Tab}\tFOCUSP\n", true, MENU_VK_TAB, MENU_KEY_SHIFT | MENU_KEY_CTRL, ID("FOCUSP")},
      {"{PageUp}\tPGUP\n", true, MENU_VK_PRIOR, 0, ID("PGUP")},
      {"/\tFIND\n", true, '/', MENU_KEY_CHAR, ID("FIND")},
      {"+\tPLUS\n", true, '+', MENU_KEY_CHAR, ID("PLUS")},
      {"^+\tZOOM\n", true, '+', MENU_KEY_CTRL | MENU_KEY_CHAR, ID("ZOOM")},
      {"^{F5}\tRELOAD\n", true, 0x74, MENU_KEY_CTRL, ID("RELOAD")},
      {"{f12}\tX\n", true, 0x7B, 0, ID("X")},
      {"{F25}\tX\n", false, 0, 0, 0},
      {"{Nope}\tX\n", false, 0, 0, 0},
      {"{Enter}\t\n", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (auto& c : cases) {
    MenuKey k{-1, 99};
    PackedId cmd = 1;
    EXPECT_EQ(menu_key_parse(c.line, &k, &cmd), c.ok) << c.line;
    if (!c.ok) continue;
    EXPECT_EQ(k.key, c.key) << c.line;
    EXPECT_EQ(k.mods, c.mods) << c.line;
    EXPECT_EQ(cmd, c.command) << c.line;
  }
}

TEST(MenuKeys, TableLookup) {
  Owned keys("{Enter}\tENTER\n{Esc}\tESC\n+{DOWN}\tDOWNS\n{DOWN}\tDOWN\nnot a key\n^C\tCOPY");
  EXPECT_EQ(menu_key_command(keys.t, MENU_VK_DOWN, 0), ID("DOWN"));
  EXPECT_EQ(menu_key_command(keys.t, MENU_VK_DOWN, MENU_KEY_SHIFT), ID("DOWNS"));
  EXPECT_EQ(menu_key_command(keys.t, 'C', MENU_KEY_CTRL), ID("COPY"));
  EXPECT_EQ(menu_key_command(keys.t, 'C', 0), 0u);
  EXPECT_EQ(menu_key_command(keys.t, MENU_VK_ESCAPE, 0), ID("ESC"));
  EXPECT_EQ(menu_key_command(nullptr, MENU_VK_ESCAPE, 0), 0u);
}

// ---- command numbers ----

TEST(MenuNumbers, GivenInOrderForTheLifeOfTheProcess) {
  int first = menu_command_number(ID("QZA1"));
  ASSERT_GE(first, 100);
  EXPECT_EQ(menu_command_number(ID("QZA2")), first + 1);
  EXPECT_EQ(menu_command_number(ID("QZA1")), first);
  EXPECT_EQ(menu_command_number(ID("QZA3")), first + 2);
  EXPECT_EQ(menu_command_id(first + 1), ID("QZA2"));
  EXPECT_EQ(menu_command_id(first + 3), 0u);
  EXPECT_EQ(menu_command_id(99), 0u);
  EXPECT_EQ(menu_command_number(0), 0);
  for (int i = 0; i < 500; ++i) menu_command_number(ID("QZB0") + i);  // the table grows
  EXPECT_EQ(menu_command_id(first + 3 + 499), ID("QZB0") + 499);
  EXPECT_EQ(menu_command_number(ID("QZA3")), first + 2);
}

}  // namespace
