// Real dialogs driven by real input (driver.h): message boxes, the modal loop and its stack,
// keyboard navigation, popup menus and the menu bar.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/records.h"
#include "host/startup.h"
#include "ui/desc.h"
#include "uiwin/driver.h"
#include "uiwin/menu.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"
#include "uiwin/ui_host.h"

namespace {

// A dialog with a check-box list, an input field and the OK / CANCEL column.
struct Form {
  HWND frame, checks, field, column;
  Text* input;
};

Form make_form() {
  Form f{};
  f.frame = dialog_new();
  frame_set(f.frame, ID("TITLE"), "設定");
  HWND c = dialog_client(f.frame);
  f.column = pane_button_column(c);
  f.checks = pane_create("CASE(cb)\t大文字と小文字を区別(&C)\nWORD(cb)\t単語単位(&W)\n", c,
                         PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_ITEMS, 30210, 0);
  pane_set(f.checks, ID("PLACE"), ID("TOP"));
  f.input = text_new();
  text_puts(f.input, "検索");
  f.field = pane_create(f.input, c, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | PANE_KIND_INPUT,
                        30200, 0);
  pane_set(f.field, ID("PLACE"), ID("TOP"));
  return f;
}

void close_form(Form& f) {
  dialog_close(f.frame);
  text_free(f.input);
}

TEST(MsgBox, EscGivesCancelInEveryKind) {
  for (unsigned kind : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 1u | MSG_NO_DEFAULT, 0x200u}) {
    Driver d({key(VK_ESCAPE)});
    EXPECT_EQ(msg_box(kind, "種類 %d", (int)kind), 2) << "kind " << kind;
  }
}

TEST(MsgBox, CloseBoxGivesCancel) {
  Driver d({[] {
    HWND w = active_dialog(1);
    if (w) PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    return w != nullptr;
  }});
  EXPECT_EQ(msg_box(0, "閉じる"), 2);
}

TEST(Dialog, DestroyedWhileRunningGivesCancel) {
  HWND f = dialog_new();
  pane_button_row(dialog_client(f));
  dialog_show(f);
  Driver d({[&] {
    if (!active_dialog(1)) return false;
    DestroyWindow(f);
    return true;
  }});
  EXPECT_EQ(dialog_run(f), ID("CANCEL"));
  EXPECT_EQ(dialog_depth(), 0);
  EXPECT_EQ(dialog_run(f), 0u) << "no frame, no loop";
}

TEST(Dialog, EnterKeyLineOfAPaneGivesOk) {
  HWND f = dialog_new();
  HWND list = pane_create("{Enter}\tENTER\nA1\t一\n", dialog_client(f),
                          PANE_VISIBLE | PANE_TABSTOP | PANE_KIND_ITEMS, 30210, 0);
  dialog_show(f);
  SetFocus(list);
  Driver d({key(VK_RETURN)});
  EXPECT_EQ(dialog_run(f), ID("OK"));
  dialog_close(f);
}

TEST(MsgBox, AnswersByKeyAndAccelerator) {
  struct Case {
    unsigned callword;
    std::vector<Step> steps;
    int answer;
  };
  Case cases[] = {
      {1, {key(VK_RETURN)}, 6},
      {0, {key(VK_RETURN)}, 6},
      {1 | MSG_NO_DEFAULT, {key(VK_RETURN)}, 7},  // Enter presses the default NO
      {1 | MSG_NO_DEFAULT, {key(VK_LEFT), key(VK_RETURN)}, 6},
      {1, {chr('n')}, 7},
      {2, {chr('Y')}, 6},
      {6, {chr('n')}, 7},
      {1 | MSG_IGNORE_BOX, {chr('i'), chr('n')}, 7},
      {1 | MSG_IGNORE_BOX, {chr('i'), chr('y')}, (int)ID("IGNORE")},
      {1 | MSG_IGNORE_BOX, {chr('i'), chr('i'), chr('y')}, 6},
  };
  for (Case& c : cases) {
    Driver d(c.steps);
    EXPECT_EQ(msg_box(c.callword, "保存しますか"), c.answer) << "call word " << c.callword;
  }
}

TEST(MsgBox, ClickOnButtonAnswers) {
  Driver d({click(CHILD_MSG_BUTTONS, ID("NO"), 1)});
  EXPECT_EQ(msg_ask("続けますか"), 7);
}

TEST(Dialog, CheckBoxClickReturnsItsIdWhileTheCallerWaits) {
  Form f = make_form();
  dialog_show(f.frame);
  Driver d({click(30210, ID("WORD"), 1), key(VK_RETURN)});
  std::vector<PackedId> seen;
  PackedId r;
  while ((r = dialog_run(f.frame)) != ID("OK") && r != ID("CANCEL")) {
    seen.push_back(r);
    EXPECT_TRUE(IsWindowVisible(f.frame));
  }
  EXPECT_EQ(r, ID("OK"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], ID("WORD"));
  EXPECT_TRUE(desc_is_checked(pane_text(f.checks), ID("WORD")));
  EXPECT_FALSE(desc_is_checked(pane_text(f.checks), ID("CASE")));
  close_form(f);
}

TEST(Dialog, TabMovesThroughItemsThenPanes) {
  Form f = make_form();
  HWND focus_seen[4] = {};
  TextPos line_seen = -1;
  Driver d({
      check([&] { SetFocus(f.checks); }),
      key(VK_TAB),  // CASE -> WORD inside the list
      check([&] {
        focus_seen[0] = GetFocus();
        line_seen = pane_cursor_line(f.checks);
      }),
      key(VK_TAB),  // past the last item: the next pane
      check([&] { focus_seen[1] = GetFocus(); }),
      key(VK_TAB),
      check([&] { focus_seen[2] = GetFocus(); }),
      [&] {  // Shift+Tab back into the list puts the cursor on its last item
        if (GetFocus() != f.column) return false;
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
        SendMessageW(GetFocus(), WM_NULL, 0, 0);
        return true;
      },
      key(VK_TAB),
      key(VK_TAB),
      [&] {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        focus_seen[3] = GetFocus();
        return true;
      },
      key(VK_ESCAPE),
  });
  EXPECT_EQ(dialog_run([&] {
              dialog_show(f.frame);
              return f.frame;
            }()),
            ID("CANCEL"));
  EXPECT_EQ(focus_seen[0], f.checks);
  EXPECT_EQ(text_field(text_cstr(pane_text(f.checks)) + line_seen, 1)[0], 'W');
  EXPECT_EQ(focus_seen[1], f.field);
  EXPECT_EQ(focus_seen[2], f.column);
  EXPECT_EQ(focus_seen[3], f.checks);
  close_form(f);
}

TEST(Dialog, InputFieldTakesTypedTextAndEnterGivesOk) {
  Text* t = text_new();
  text_puts(t, "ab");
  Driver d({chr('c'), key(VK_LEFT), key(VK_LEFT), chr('X'), key(VK_RETURN)});
  EXPECT_TRUE(input_box("検索", "文字列", t));
  EXPECT_STREQ(text_cstr(t), "aXbc");
  Driver d2({chr('z'), key(VK_ESCAPE)});
  EXPECT_FALSE(input_box("検索", "文字列", t));
  EXPECT_STREQ(text_cstr(t), "aXbc") << "a cancelled box leaves the text as it was";
  text_free(t);
}

// The label is one line of the label pane, whatever the label holds: a string or a Text of
// several lines (at its cursor) gives no item lines of its own.
TEST(Dialog, InputBoxLabelIsOneLine) {
  Text* multi = text_new();
  text_puts(multi, "一行目\nSECOND(b)\t二行目\n");
  text_top(multi);
  struct {
    TextArg label;
    const char* pane;
  } cases[] = {{"文字列", "1(64)\t文字列(&N):\r\n"},  // as the pane keeps it: state and CR LF
               {"上\r\nBAD(b)\tx", "1(64)\t上(&N):\r\n"},
               {multi, "1(64)\t一行目(&N):\r\n"}};
  Text* t = text_new();
  for (auto& c : cases) {
    std::string seen;
    Driver d({[&] {
                HWND f = active_dialog(1);
                HWND label = f ? pane_in(f, CHILD_INPUT_LABEL) : nullptr;
                if (!label) return false;
                seen = text_cstr(pane_text(label));
                return true;
              },
              key(VK_ESCAPE)});
    EXPECT_FALSE(input_box("検索", c.label, t));
    EXPECT_EQ(seen, c.pane);
  }
  text_free(t);
  text_free(multi);
}

// The modal loops of dialogs and menus take their messages through the host's pump: its key
// counter (and with it the IME and key-repeat rules) sees the keys typed inside them.
TEST(Dialog, ModalLoopsGoThroughTheHostPump) {
  ui_set_message_pump(host_pump_message);
  unsigned before = host_key_presses();
  Text* t = text_new();
  {
    Driver d({chr('a'), key(VK_LEFT), key(VK_RETURN)});
    EXPECT_TRUE(input_box("検索", "文字列", t));
  }
  EXPECT_EQ(host_key_presses() - before, 2u);
  text_free(t);

  Form f = make_form();
  dialog_show(f.frame);
  Text* menu = text_new();
  text_puts(menu, "A\t最初(&A)\nB\t次(&B)\n");
  before = host_key_presses();
  {
    Driver d({[&] {
      if (!menu_open_popup()) return false;
      PostMessageW(f.frame, WM_KEYDOWN, VK_DOWN, 1);
      PostMessageW(f.frame, WM_KEYDOWN, VK_RETURN, 1);
      return true;
    }});
    EXPECT_EQ(menu_track(menu, 0, f.frame), (intptr_t)ID("B"));
  }
  EXPECT_EQ(host_key_presses() - before, 2u);
  ui_set_message_pump(nullptr);
  text_free(menu);
  close_form(f);
}

// The runtime's notice (a box above the others) shows `message`; it is then dismissed.
Step notice_says(const char* message, int depth, bool* seen) {
  return [=] {
    HWND w = active_dialog(depth);
    HWND text = w ? pane_in(w, CHILD_MSG_TEXT) : nullptr;
    if (!text) return false;
    *seen = std::strstr(text_cstr(pane_text(text)), message) != nullptr;
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
    return true;
  };
}

TEST(Dialog, ResultToALowerDialogGivesTheCloseOrderMessage) {
  Form lower = make_form();
  bool noticed = false;
  PackedId upper_result = 0;
  int both_open = 0;
  HWND upper = nullptr;
  Driver d({
      [&] {
        if (!active_dialog(1)) return false;
        ++g_next;  // the upper dialog's loop runs inside this step
        upper = dialog_new();
        pane_button_row(dialog_client(upper));
        dialog_show(upper);
        upper_result = dialog_run(upper);
        dialog_close(upper);
        return true;
      },
      click(CHILD_OK_COLUMN, ID("OK"), 2, &lower.frame),
      notice_says("ダイアログは、最後に開いた順から閉じてください", 3, &noticed),
      [&] {
        if (dialog_depth() != 2) return false;
        both_open = (IsWindowVisible(lower.frame) ? 1 : 0) + (IsWindowVisible(upper) ? 1 : 0);
        PostMessageW(upper, WM_KEYDOWN, VK_ESCAPE, 1);
        return true;
      },
      key(VK_ESCAPE, 1),
  });
  dialog_show(lower.frame);
  EXPECT_EQ(dialog_run(lower.frame), ID("CANCEL"));
  EXPECT_TRUE(noticed);
  EXPECT_EQ(both_open, 2);
  EXPECT_EQ(upper_result, ID("CANCEL"));
  close_form(lower);
}

PackedId g_deepest;

// Opens dialog n, and inside its loop the next one, up to the 21st.
void nest(int n) {
  HWND f = dialog_new();
  pane_button_row(dialog_client(f));
  dialog_show(f);
  if (n == 21) {
    g_deepest = dialog_run(f);
    dialog_close(f);
    return;
  }
  PackedId r = dialog_run(f);
  EXPECT_EQ(r, ID("CANCEL")) << "dialog " << n;
  dialog_close(f);
}

TEST(Dialog, TwentyFirstDialogGivesItsMessageAndCancel) {
  bool noticed = false;
  std::vector<Step> steps;
  for (int n = 1; n <= 20; ++n) {
    steps.push_back([n] {
      if (!active_dialog(n)) return false;
      ++g_next;
      nest(n + 1);
      return true;
    });
  }
  steps.push_back(notice_says("これ以上ダイアログを開けません", 21, &noticed));
  for (int n = 20; n >= 1; --n) steps.push_back(key(VK_ESCAPE, n));
  g_deepest = 0;
  Driver d(steps);
  nest(1);
  EXPECT_TRUE(noticed);
  EXPECT_EQ(g_deepest, ID("CANCEL"));
  EXPECT_EQ(dialog_depth(), 0);
}

TEST(Menu, ClickOutsideClosesThePopup) {
  Form f = make_form();
  dialog_show(f.frame);
  Text* menu = text_new();
  text_puts(menu, "COPY\tコピー(&C)\nPASTE\t貼り付け(&P)\n");
  intptr_t dismissed = -1, chosen = -1;
  Driver d({
      [&] {
        if (!menu_open_popup()) return false;
        // A click on the dialog's margin, outside the popup.
        HWND container = GetDlgItem(f.frame, CHILD_CONTAINER);
        PostMessageW(container, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        PostMessageW(container, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
        return true;
      },
      [&] {
        if (!menu_open_popup()) return false;
        PostMessageW(f.frame, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(f.frame, WM_KEYDOWN, VK_RETURN, 1);
        return true;
      },
  });
  dismissed = menu_track(menu, 0, f.frame);
  EXPECT_EQ(menu_open_popup(), nullptr);
  chosen = menu_track(menu, 0, f.frame);
  EXPECT_EQ(dismissed, 0);
  EXPECT_EQ(chosen, (intptr_t)ID("PASTE"));
  text_free(menu);
  close_form(f);
}

TEST(Menu, ListChoiceTakesEnterAndEsc) {
  HWND f = dialog_new();
  HWND row = pane_button_row(dialog_client(f));
  dialog_show(f);
  Text* choices = text_new();
  text_puts(choices, "SJIS\tShift-JIS\nUTF8\tUTF-8\nEUC\tEUC-JP\n");
  RECT under;
  GetWindowRect(row, &under);
  for (UINT last : {(UINT)VK_RETURN, (UINT)VK_ESCAPE}) {
    text_top(choices);  // the current choice: the cursor line of the description
    HWND popup = menu_popup(nullptr, &under, 0, MENU_LIST, choices, f);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(menu_popup(nullptr, &under, 0, MENU_LIST, choices, f), nullptr) << "one chain";
    EXPECT_EQ(ui_popup_window(), popup);
    PostMessageW(row, WM_KEYDOWN, VK_DOWN, 1);
    PostMessageW(row, WM_KEYDOWN, last, 1);
    MSG msg;
    while (menu_open_popup() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (ui_pretranslate(&msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    EXPECT_EQ(menu_result(), last == VK_RETURN ? ID("UTF8") : 0u);
  }
  text_free(choices);
  dialog_close(f);
}

TEST(Menu, BarOpensItsSubmenuAndReportsTheChoice) {
  HWND f = dialog_new();
  frame_set(f, ID("MENU"),
            "..ファイル(&F)\nOPEN\t開く(&O)\n..表示(&V)\n...文字コード(&K)\nSJIS\tShift-JIS(&S)\n.."
            ".end\nEXIT\t終了(&X)\n");
  pane_button_row(dialog_client(f));
  dialog_show(f);
  HWND bar = GetDlgItem(f, CHILD_MENUBAR);
  ASSERT_NE(bar, nullptr);
  Driver d({
      [&] {
        if (!active_dialog(1)) return false;
        PostMessageW(GetFocus(), WM_SYSCHAR, 'v', 1 << 29);
        return true;
      },
      [&] {
        if (!menu_open_popup()) return false;
        PostMessageW(f, WM_KEYDOWN, VK_RIGHT, 1);  // into the submenu
        PostMessageW(f, WM_KEYDOWN, VK_RETURN, 1);
        return true;
      },
  });
  EXPECT_EQ(dialog_run(f), ID("SJIS"));
  EXPECT_EQ(menu_open_popup(), nullptr);
  dialog_close(f);
}

TEST(Layout, SizesFollowTheDpi) {
  EXPECT_EQ(ui_dialog_unit(nullptr), ui_dpi(nullptr) * 90 / 1440);
  EXPECT_EQ(ui_gap(nullptr), MulDiv(4, ui_dpi(nullptr), 96));
  HWND f = dialog_new();
  HWND row = pane_button_row(dialog_client(f));
  RECT ok;
  ASSERT_TRUE(pane_item_rect(row, ID("OK"), &ok));
  EXPECT_GE(ok.right - ok.left, ui_scale(row, 75));
  EXPECT_GE(ok.bottom - ok.top, ui_scale(row, 23));
  dialog_close(f);
}

}  // namespace
