// Panes one by one: docking, the text view's scrolling, the input field's keys, accelerators and
// labels, radio groups with bindings, lists, bars and tabbed pages, native menus, named menus, the
// message seam, and the face the runtime shows the host.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/codepage.h"
#include "core/format.h"
#include "core/header.h"
#include "core/records.h"
#include "support/bmp_file.h"
#include "ui/desc.h"
#include "ui/menu_text.h"
#include "ui/notify.h"
#include "uiwin/driver.h"
#include "uiwin/menu.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"
#include "uiwin/ui_host.h"

namespace {

RECT rect_in(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), (POINT*)&r, 2);
  return r;
}

HWND view_of(HWND container, const char* text, int id) {
  return pane_create(text, container, PANE_VISIBLE | PANE_BORDER | PANE_KIND_VIEW, id, 0);
}

int scroll_pos(HWND pane) {
  SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
  GetScrollInfo(pane, SB_VERT, &si);
  return si.nPos;
}

std::string lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "行 " + std::to_string(i) + "\n";
  return s;
}

TEST(Layout, DockedPanesTakeTheirSidesAndTheRestIsFilled) {
  HWND f = dialog_new();
  HWND c = dialog_client(f);
  HWND column = pane_button_column(c);
  HWND top = pane_create("1\t名前(&N):\n", c, PANE_VISIBLE | PANE_KIND_ITEMS, 30199, 0);
  pane_set(top, ID("PLACE"), ID("TOP"));
  HWND gap = pane_gap(c, ID("BOTTOM"));
  HWND view = view_of(c, "本文\n", 30201);
  dialog_show(f);
  RECT rc, rcol = rect_in(column), rtop = rect_in(top), rgap = rect_in(gap), rview = rect_in(view);
  GetClientRect(c, &rc);
  int m = ui_dialog_unit(c) * 3 / 2;
  EXPECT_EQ(rcol.right, rc.right - m);
  EXPECT_EQ(rtop.top, m);
  EXPECT_EQ(rtop.right, rcol.left - ui_gap(c)) << "the column's gap separates it from the rest";
  EXPECT_EQ(rgap.bottom - rgap.top, ui_gap(c));
  EXPECT_EQ(rview.top, rtop.bottom);
  EXPECT_EQ(rview.bottom, rgap.top);
  EXPECT_EQ(rview.right, rtop.right);
  dialog_close(f);
}

TEST(TextView, WheelKeysAndAppendingScroll) {
  HWND f = dialog_new();
  HWND c = dialog_client(f);
  std::string text = lines(100);
  HWND view = view_of(c, text.c_str(), 30201);
  pane_set(view, ID("CXAL"), 300);
  dialog_show(f);
  EXPECT_EQ(scroll_pos(view), 0);
  SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)-WHEEL_DELTA), 0);
  UINT wheel = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &wheel, 0);
  EXPECT_EQ(scroll_pos(view), (int)wheel);
  SendMessageW(view, WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(scroll_pos(view), (int)wheel + 1);
  SendMessageW(view, WM_KEYDOWN, VK_NEXT, 1);
  int after_page = scroll_pos(view);
  EXPECT_GT(after_page, (int)wheel + 10);
  SendMessageW(view, WM_KEYDOWN, VK_UP, 1);
  EXPECT_EQ(scroll_pos(view), after_page - 1);
  // A log view: lines appended, then shown to the end.
  Text* t = pane_text(view);
  text_bottom(t);
  text_puts(t, lines(50).c_str());
  view_update(view, true);
  SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(view, SB_VERT, &si);
  EXPECT_EQ(si.nPos + (int)si.nPage, si.nMax + 1);
  SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(200 * WHEEL_DELTA)), 0);
  EXPECT_EQ(scroll_pos(view), 0) << "never above the first line";
  dialog_close(f);
}

TEST(TextView, ShowsTheCharactersTheTextCarries) {
  // Shift-JIS, and an SJIS-EX escape of a character code page 932 does not have (U+00E9).
  char escaped[8] = {};
  cp_put_escape(0xE9, escaped);
  std::string text = std::string("日本 caf") + escaped + "\n";
  HWND f = dialog_new();
  HWND view = view_of(dialog_client(f), text.c_str(), 30201);
  wchar_t shown[32] = {};
  GetWindowTextW(view, shown, 32);
  EXPECT_STREQ(shown, L"\u65E5\u672C caf\u00E9\r\n");
  dialog_close(f);
}

TEST(TextView, LogAppendedLineByLineKeepsEveryRow) {
  HWND f = dialog_new();
  HWND view = view_of(dialog_client(f), "", 30200);
  pane_set(view, ID("CXAL"), 200);
  dialog_show(f);
  Text* t = pane_text(view);
  std::string long_line(300, 'x');
  for (int i = 0; i < 400; ++i) {
    text_bottom(t);
    text_puts(t,
              i == 200 ? (long_line + "\n").c_str() : ("add " + std::to_string(i) + "\n").c_str());
    view_update(view, true);
  }
  SCROLLINFO grown{sizeof grown, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(view, SB_VERT, &grown);
  view_update(view, false);  // laid out again from the top
  SCROLLINFO whole{sizeof whole, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(view, SB_VERT, &whole);
  EXPECT_EQ(grown.nMax, whole.nMax);
  EXPECT_GT(grown.nMax, 400) << "the long line wraps into several rows";
  EXPECT_EQ(grown.nPos + (int)grown.nPage, grown.nMax + 1);
  dialog_close(f);
}

// A 24-bit BMP of w x h pixels, all of one colour.
bool write_bmp(const wchar_t* path, int w, int h) {
  return bmp_write(path, w, h, std::string((size_t)bmp_stride(w) * h, '\x80').data());
}

TEST(TextView, ImageLinesShowThePicture) {
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"zqi", 0, path);
  ASSERT_TRUE(write_bmp(path, 40, 90));
  char narrow[MAX_PATH * 2];
  WideCharToMultiByte(932, 0, path, -1, narrow, sizeof narrow, nullptr, nullptr);
  struct Case {
    std::string text;
    bool picture;
  } cases[] = {{"\x01" + std::string(narrow) + "\n", true}, {"\x01C:\\no such.png\n", false}};
  for (Case& c : cases) {
    HWND f = dialog_new();
    HWND view = view_of(dialog_client(f), c.text.c_str(), 30201);
    dialog_show(f);
    RECT rc;
    GetClientRect(view, &rc);
    if (c.picture)
      EXPECT_GE(rc.bottom, ui_scale(view, 90));
    else
      EXPECT_LT(rc.bottom, ui_scale(view, 60)) << "a picture that does not load is one line";
    dialog_close(f);
  }
  DeleteFileW(path);
}

// Keys sent to an input field: a virtual key (WM_KEYDOWN), or a character (WM_CHAR) when `ch`.
struct Key {
  UINT vk;
  wchar_t ch;
  bool shift;
};
Key vk(UINT k, bool shift = false) {
  return Key{k, 0, shift};
}
Key ch(wchar_t c) {
  return Key{0, c, false};
}

void set_shift(bool down) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

TEST(InputField, KeysEditTheLine) {
  struct Case {
    const char* before;
    std::vector<Key> keys;
    const char* after;
  } cases[] = {
      {"abc", {vk(VK_HOME), vk(VK_DELETE)}, "bc"},
      {"abc", {ch(8)}, "ab"},
      {"abc", {ch(1), ch('x')}, "x"},
      {"日本語", {vk(VK_LEFT), ch(8)}, "日語"},
      {"abc", {vk(VK_LEFT, true), vk(VK_LEFT, true), ch('Z')}, "aZ"},
      {"ab", {ch(1), ch(3), vk(VK_END), ch(22)}, "abab"},
      {"ab", {ch(1), ch(24), ch(22), ch(22)}, "abab"},
      {"x", {vk(VK_HOME), vk(VK_RIGHT), ch(L'\x3042')}, "xあ"},
  };
  for (Case& c : cases) {
    HWND f = dialog_new();
    Text* t = text_new();
    text_puts(t, c.before);
    HWND field = pane_create(t, dialog_client(f),
                             PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | PANE_KIND_INPUT, 30200, 0);
    dialog_show(f);
    SetFocus(field);
    for (const Key& k : c.keys) {
      set_shift(k.shift);
      if (k.ch)
        SendMessageW(field, WM_CHAR, k.ch, 1);
      else
        SendMessageW(field, WM_KEYDOWN, k.vk, 1);
    }
    set_shift(false);
    EXPECT_STREQ(text_cstr(t), c.after) << c.before;
    dialog_close(f);
    text_free(t);
  }
}

TEST(InputField, SurrogatePairIsOneCharacter) {
  HWND f = dialog_new();
  Text* t = text_new();
  HWND field =
      pane_create(t, dialog_client(f), PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_INPUT, 30200, 0);
  dialog_show(f);
  SetFocus(field);
  SendMessageW(field, WM_CHAR, 'a', 1);
  SendMessageW(field, WM_CHAR, 0xD83D, 1);
  SendMessageW(field, WM_CHAR, 0xDE00, 1);
  std::string with_pair = text_cstr(t);
  EXPECT_EQ(with_pair.size(), 7u) << "a and two SJIS-EX escapes";
  SendMessageW(field, WM_KEYDOWN, VK_LEFT, 1);
  SendMessageW(field, WM_CHAR, 'b', 1);
  EXPECT_EQ(std::string(text_cstr(t)), "ab" + with_pair.substr(1))
      << "the caret stepped over both units";
  SendMessageW(field, WM_KEYDOWN, VK_END, 1);
  SendMessageW(field, WM_CHAR, 8, 1);
  EXPECT_STREQ(text_cstr(t), "ab");
  dialog_close(f);
  text_free(t);
}

TEST(Items, AcceleratorsChooseOrMoveBetweenSeveral) {
  HWND f = dialog_new();
  HWND c = dialog_client(f);
  HWND list = pane_create("A1\t終了(&C/&X)\nB1\tコピー(&C)\nD1(2)\t無効(&D)\nC1\t切り取り(&T)\n", c,
                          PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_ITEMS, 30210, 0);
  dialog_show(f);
  TextPos seen[2] = {-1, -1};
  Driver d({chr('c'), check([&] { seen[0] = pane_cursor_line(list); }), chr('c'),
            check([&] { seen[1] = pane_cursor_line(list); }), chr('d'), chr('x')});
  PackedId r = dialog_run(f);
  Text* t = pane_text(list);
  EXPECT_EQ(r, ID("A1")) << "D is disabled, X answers for A1 alone";
  ASSERT_GE(seen[0], 0);
  // The cursor starts on A1: C moves it to the next match, then around to the first.
  EXPECT_EQ(text_id(text_cstr(t) + seen[0]), ID("B1"));
  EXPECT_EQ(text_id(text_cstr(t) + seen[1]), ID("A1"));
  dialog_close(f);
}

TEST(Items, NumberedLabelSendsTheFocusToItsField) {
  HWND f = dialog_new();
  HWND c = dialog_client(f);
  HWND labels =
      pane_create("1\t検索(&S):\n2\t置換(&R):\n", c, PANE_VISIBLE | PANE_KIND_ITEMS, 30199, 0);
  pane_set(labels, ID("PLACE"), ID("LEFT"));
  HWND one = pane_create("", c, PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_INPUT, 30200, 0);
  pane_set(one, ID("PLACE"), ID("TOP"));
  HWND two = pane_create("", c, PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_INPUT, 30201, 0);
  pane_set(two, ID("PLACE"), ID("TOP"));
  dialog_show(f);
  HWND focus[2] = {};
  Driver d({check([&] { focus[0] = GetFocus(); }),
            [&] {
              PostMessageW(GetFocus(), WM_SYSCHAR, 'r', 1 << 29);
              return true;
            },
            check([&] { focus[1] = GetFocus(); }), key(VK_ESCAPE)});
  EXPECT_EQ(dialog_run(f), ID("CANCEL"));
  EXPECT_EQ(focus[0], one);
  EXPECT_EQ(focus[1], two);
  dialog_close(f);
}

TEST(Items, RadioGroupChosenWithKeysStoresItsBinding) {
  Text* settings = text_new();
  text_puts(settings, "search\r\nFFINDM: WORD\r\n\r\n");
  Text* radio = format_text(
      "BASIC(rb text=%p id=FFINDM)\t基本(&M)\nFUZZY(rb)\t曖昧(&X)\nWORD(rb)\t単語(&W)\n", settings);
  HWND f = dialog_new();
  HWND pane =
      pane_create(radio, dialog_client(f), PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_ITEMS, 30210, 0);
  dialog_show(f);
  text_seek(radio, 0);
  EXPECT_EQ(desc_radio(radio, ID("GET")), ID("WORD")) << "opened from the binding";
  SetFocus(pane);
  SendMessageW(pane, WM_KEYDOWN, VK_DOWN, 1);
  SendMessageW(pane, WM_KEYDOWN, VK_SPACE, 1);
  MSG msg;
  bool reported = false;
  while (PeekMessageW(&msg, f, UI_MSG_COMMAND, UI_MSG_COMMAND, PM_REMOVE))
    reported |= msg.wParam == ID("FUZZY");
  EXPECT_TRUE(reported);
  text_seek(radio, 0);
  EXPECT_EQ(desc_radio(radio, ID("GET")), ID("FUZZY"));
  int64_t stored = 0;
  EXPECT_TRUE(header_get(settings, ID("FFINDM"), HK_ID | HK_HEADER_ONLY | HV_INT, &stored));
  EXPECT_EQ(stored, (int64_t)ID("FUZZY"));
  dialog_close(f);
  text_free(radio);
  text_free(settings);
}

TEST(Items, ListChoosesItsCursorLineWithEnter) {
  HWND f = dialog_new();
  HWND list = pane_create("SJIS\tShift-JIS\nUTF8\tUTF-8\nEUC\tEUC-JP\n", dialog_client(f),
                          PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | PANE_KIND_LIST, 30210, 0);
  dialog_show(f);
  SetFocus(list);
  Driver d({key(VK_DOWN), key(VK_DOWN), key(VK_UP), key(VK_RETURN)});
  EXPECT_EQ(dialog_run(f), ID("UTF8"));
  dialog_close(f);
}

TEST(Frame, BarsAreReplacedAndRemoved) {
  HWND f = dialog_new();
  pane_button_row(dialog_client(f));
  frame_set(f, ID("MENU"), "..ファイル(&F)\nEXIT\t終了(&X)\n");
  HWND bar = GetDlgItem(f, CHILD_MENUBAR);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(text_prop(pane_text(bar), ID("_FIXHED")), 1);
  frame_set(f, ID("MENU"), "..編集(&E)\nCOPY\tコピー(&C)\n");
  EXPECT_EQ(GetDlgItem(f, CHILD_MENUBAR), bar) << "a second description replaces the lines";
  EXPECT_NE(std::strstr(text_cstr(pane_text(bar)), "COPY"), nullptr);
  EXPECT_EQ(std::strstr(text_cstr(pane_text(bar)), "EXIT"), nullptr);
  frame_set(f, ID("BUTTON"), "APPLY\t適用(&A)\n");
  HWND buttons = GetDlgItem(f, CHILD_BUTTONS);
  ASSERT_NE(buttons, nullptr);
  dialog_show(f);
  RECT client, rb = rect_in(buttons), rbar = rect_in(bar);
  GetClientRect(f, &client);
  EXPECT_EQ(rbar.top, 0);
  EXPECT_EQ(rb.bottom, client.bottom);
  EXPECT_EQ(rect_in(GetDlgItem(f, CHILD_CONTAINER)).top, rbar.bottom);
  SendMessageW(f, WM_SYSCOMMAND, SC_KEYMENU, 0);  // Alt alone
  EXPECT_EQ(GetFocus(), bar);
  EXPECT_GE(pane_cursor_line(bar), 0);
  frame_set(f, ID("MENU"), nullptr);
  EXPECT_EQ(GetDlgItem(f, CHILD_MENUBAR), nullptr);
  dialog_close(f);
}

TEST(Frame, TabbedPagesHoldTheirPanesAndAllApply) {
  HWND f = dialog_new();
  HWND one = frame_add_page(f, "全般");
  Text* a = text_new();
  text_puts(a, "一");
  pane_create(a, dialog_client(f), PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_INPUT, 40000, 0);
  HWND two = frame_add_page(f, "詳細");
  EXPECT_EQ(dialog_client(f), two);
  Text* b = text_new();
  text_puts(b, "二");
  pane_create(b, dialog_client(f), PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_INPUT, 40001, 0);
  dialog_show(f);
  EXPECT_TRUE(frame_select_page(f, 0));
  EXPECT_TRUE(IsWindowVisible(one));
  EXPECT_FALSE(IsWindowVisible(two));
  EXPECT_FALSE(frame_select_page(f, 2));
  dialog_apply(f);
  text_clear(a);
  text_puts(a, "三");
  pane_refresh(GetDlgItem(one, 40000));
  dialog_apply(f);
  // Newest first, each text once.
  EXPECT_STREQ(text_cstr(pane_history(40000)), "三\r\n一\r\n");
  EXPECT_STREQ(text_cstr(pane_history(40001)), "二\r\n");
  dialog_close(f);
  text_free(a);
  text_free(b);
}

TEST(Frame, WizardPagesHaveNoTabHeaders) {
  HWND f = dialog_new();
  frame_set_mode(f, FRAME_WIZARD, 0);
  HWND pages[3];
  for (int i = 0; i < 3; ++i) {
    pages[i] = frame_add_page(f, "ページ");
    pane_create("1\tようこそ\n", dialog_client(f), PANE_VISIBLE | PANE_KIND_ITEMS, 40000 + i, 0);
  }
  frame_set(f, ID("BUTTON"), "BACK\t< 戻る(&B)\nNEXT\t次へ(&N) >\nCANCEL\tキャンセル\n");
  dialog_show(f);
  EXPECT_TRUE(frame_select_page(f, 1));
  EXPECT_EQ(rect_in(pages[1]).top, 0);
  EXPECT_TRUE(IsWindowVisible(pages[1]));
  EXPECT_FALSE(IsWindowVisible(pages[0]));
  EXPECT_EQ(dialog_client(f), pages[1]);
  dialog_close(f);
}

TEST(Menu, NativeMenuHasTheNumbersAndFollowsItsDescription) {
  Text* d = text_new();
  text_puts(d, "..ファイル(&F)\nOPEN\t開く(&O)\nSAVE(cb)\t保存(&S)\n--\nQUIT\t終了(&X)\n");
  HMENU m = menu_native(d, false);
  ASSERT_NE(m, nullptr);
  HMENU sub = GetSubMenu(m, 0);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(GetMenuItemCount(sub), 4);
  EXPECT_EQ((int)GetMenuItemID(sub, 0), menu_command_number(ID("OPEN")));
  EXPECT_EQ((int)GetMenuItemID(sub, 3), menu_command_number(ID("QUIT")));
  EXPECT_GE(menu_command_number(ID("OPEN")), 100);
  UINT save = (UINT)menu_command_number(ID("SAVE"));
  EXPECT_FALSE(GetMenuState(m, save, MF_BYCOMMAND) & MF_CHECKED);
  desc_check(d, ID("SAVE"), true);
  EXPECT_TRUE(GetMenuState(m, save, MF_BYCOMMAND) & MF_CHECKED);
  desc_enable(d, ID("OPEN"), false);
  EXPECT_TRUE(GetMenuState(m, (UINT)menu_command_number(ID("OPEN")), MF_BYCOMMAND) & MF_GRAYED);
  DestroyMenu(m);
  text_free(d);
}

TEST(Menu, NamedMenusComeFromTheBuiltInTextWithoutAFile) {
  struct Case {
    PackedId kind, name;
    const char* has;  // null: empty
  } cases[] = {
      {0, ID("VIEW"), "..移動(&G)"},      {0, ID("EDIT"), "PASTE\t"},
      {0, ID("NOSUCH"), nullptr},         {ID("BOARD"), ID("MENU"), nullptr},
      {ID("OTHER"), ID("EDIT"), nullptr},
  };
  for (Case& c : cases) {
    Text* t = menu_load(c.kind, c.name);
    ASSERT_NE(t, nullptr);
    if (c.has)
      EXPECT_NE(std::strstr(text_cstr(t), c.has), nullptr) << c.has;
    else
      EXPECT_EQ(text_length(t), 0);
    text_free(t);
  }
}

TEST(Notify, PortableMessagesReachTheRuntime) {
  ui_init(nullptr);
  Driver d({chr('n')});
  EXPECT_EQ(notify_box("上書きしますか", 1), NOTIFY_NO);
  HWND f = dialog_new();
  HWND log = view_of(dialog_client(f), "", 30200);
  ui_set_log_view(log);
  notify_log("add zq9\\zqeditor.exe \n");
  notify_log("fail: zq9\\zq9.txt\n");
  EXPECT_STREQ(text_cstr(pane_text(log)), "add zq9\\zqeditor.exe \nfail: zq9\\zq9.txt\n");
  ui_set_log_view(nullptr);
  dialog_close(f);
}

TEST(MsgBox, MessageIsFormattedWithAnEmptyLineAbove) {
  std::string seen;
  Driver d({[&] {
    HWND w = GetActiveWindow();
    HWND text = w ? GetDlgItem(GetDlgItem(w, CHILD_CONTAINER), CHILD_MSG_TEXT) : nullptr;
    if (!text) return false;
    seen = text_cstr(pane_text(text));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    return true;
  }});
  EXPECT_EQ(msg_info("%d 件を削除しました", 12), 2);
  EXPECT_EQ(seen, "\n12 件を削除しました\n");
}

TEST(Host, HelpFieldShowsAsATipUntilAKey) {
  HWND f = dialog_new();
  HWND list =
      pane_create("CONFIG\t編集(&S)...\t設定の内容を変更するダイアログを表示します\n",
                  dialog_client(f), PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_ITEMS, 30210, 0);
  dialog_show(f);
  RECT rc;
  ASSERT_TRUE(pane_item_rect(list, ID("CONFIG"), &rc));
  SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(rc.left + 4, rc.top + 4));
  SendMessageW(list, WM_TIMER, 7, 0);  // the hover delay is over
  HWND tip = ui_popup_window();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(ui_transient_open());
  wchar_t cls[32] = {};
  GetClassNameW(tip, cls, 32);
  EXPECT_STREQ(cls, L"TEXTTIPBASE");
  MSG key{list, WM_KEYDOWN, VK_DOWN, 1, 0, {}};
  ui_pretranslate(&key);
  EXPECT_FALSE(ui_transient_open());
  dialog_close(f);
}

TEST(Host, TheLastAppletFrameEndsTheLoop) {
  HWND f = frame_new(FRAME_APPLET, nullptr);
  EXPECT_EQ(ui_open_window_count(), 1);
  DestroyWindow(f);
  EXPECT_EQ(ui_open_window_count(), 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
      << "the last applet window ends the loop";
}

TEST(Host, OnlyPanesAreTakenForPanes) {
  HWND f = dialog_new();
  HWND row = pane_button_row(dialog_client(f));
  const struct {
    const char* what;
    HWND window;
    bool pane;
  } cases[] = {{"button row", row, true},
               {"frame", f, false},
               {"container", dialog_client(f), false},
               {"no window", nullptr, false}};
  for (const auto& c : cases) EXPECT_EQ(ui_is_pane(c.window), c.pane) << c.what;
  dialog_close(f);
}

TEST(Host, ImeOnOptionFollowsEachSetting) {
  HWND f = dialog_new();
  HWND row = pane_button_row(dialog_client(f));
  const struct {
    bool on;
    unsigned expected;
  } steps[] = {{true, UI_PANE_IMEON}, {true, UI_PANE_IMEON}, {false, 0}, {true, UI_PANE_IMEON}};
  for (const auto& s : steps) {
    ui_pane_set_imeon(row, s.on);
    EXPECT_EQ(ui_pane_options(row) & UI_PANE_IMEON, s.expected) << "on " << s.on;
  }
  ui_pane_set_imeon(row, false);
  dialog_close(f);
}

TEST(Host, NothingTransientBeforeAHover) {
  HWND f = dialog_new();
  pane_button_row(dialog_client(f));
  dialog_show(f);
  EXPECT_EQ(ui_popup_window(), nullptr);
  EXPECT_FALSE(ui_transient_open());
  dialog_close(f);
}

}  // namespace
