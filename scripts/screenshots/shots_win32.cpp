// Takes the README's screenshots of the user interface: a question box, a dialog with a radio
// group, check boxes and an input field, and a menu bar with an open submenu. Each is shown by the
// real runtime, captured from the screen once it has drawn, and written as a BMP file into the
// folder named on the command line (scripts/screenshots turns them into PNG files).
// Usage: uishots FOLDER SUFFIX

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include "capture.h"
#include "core/format.h"
#include "uiwin/menu.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"

namespace {

wchar_t g_folder[MAX_PATH];
wchar_t g_suffix[32];
const wchar_t* g_name;
int g_state;  // 0 waiting for the window, 1 captured

// Captures the screen under `rc` into FOLDER\NAME-SUFFIX.bmp.
void capture(RECT rc) {
  shots_capture(rc, g_folder, g_name, g_suffix);
}

void grow(RECT* all, HWND w) {
  RECT r;
  if (!w || !IsWindowVisible(w)) return;
  GetWindowRect(w, &r);
  UnionRect(all, all, &r);
}

// Waits a few ticks for the window to settle, captures it (with an open popup chain), then
// dismisses it with Esc.
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  static int ticks;
  HWND w = GetActiveWindow();
  if (!w || !IsWindowVisible(w) || ++ticks < 8) return;
  ticks = 0;
  if (g_state == 0) {
    RECT all{};
    grow(&all, w);
    if (HWND popup = menu_open_popup()) {
      for (HWND p = popup; p; p = GetWindow(p, GW_HWNDNEXT)) {
        wchar_t cls[32];
        GetClassNameW(p, cls, 32);
        if (wcscmp(cls, L"TEXTMENUBASE") == 0) grow(&all, p);
      }
    }
    // A margin of the desktop around the window, as a user would see it.
    int m = ui_scale(w, 12);
    InflateRect(&all, m, m);
    capture(all);
    g_state = 1;
    return;
  }
  // One Esc a tick: the popups close one level at a time, then the dialog.
  PostMessageW(GetFocus() ? GetFocus() : w, WM_KEYDOWN, VK_ESCAPE, 1);
}

void start(const wchar_t* name) {
  g_name = name;
  g_state = 0;
}

void message_box() {
  start(L"msgbox");
  msg_ask("ファイル「議事録 2024年度.txt」は変更されています。\n閉じる前に変更を保存しますか？");
}

void search_dialog() {
  start(L"dialog");
  Text* settings = text_new();
  text_puts(settings, "search\r\nFFINDM: WORD\r\nFFIND: 1\r\n\r\n");
  HWND f = dialog_new();
  frame_set(f, ID("TITLE"), "検索と置換");
  HWND c = dialog_client(f);
  pane_button_column(c);
  Text* labels = text_new();
  text_puts(labels, "1\t検索する文字列(&S):\n");
  HWND lab = pane_create(labels, c, PANE_VISIBLE | 0x12, 30290 + 5, 0);
  pane_set(lab, ID("PLACE"), ID("TOP"));
  Text* input = text_new();
  text_puts(input, "東京都 (?:港区|品川区)");
  HWND field = pane_create(input, c, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | 0x1D, 30200, 0);
  pane_set(field, ID("PLACE"), ID("TOP"));
  pane_gap(c, ID("TOP"));
  Text* radio = format_text(
      "BASIC(rb text=%p id=FFINDM)\t基本(&M)\nFUZZY(rb)\t曖昧(&X)\nWORD(rb)\t単語(&W)\n"
      "RE(rb)\t正規表現(&E)\n",
      settings);
  HWND modes = pane_create(radio, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, 30211, 0);
  pane_set(modes, ID("PLACE"), ID("LEFT"));
  Text* checks = format_text(
      "CASE(cb text=%p id=FFIND mask=1)\t大文字と小文字を区別(&C)\n"
      "FGREP(cb)\tｻﾌﾞﾌｫﾙﾀﾞも検索(&U)\nLOOP(cb ck)\t末尾まで来たら先頭から(&L)\n",
      settings);
  HWND boxes = pane_create(checks, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, 30212, 0);
  pane_set(boxes, ID("PLACE"), ID("LEFT"));
  dialog_show(f);
  SetFocus(field);
  while (dialog_run(f) != ID("CANCEL")) continue;
  dialog_close(f);
  text_free(radio);
  text_free(checks);
  text_free(labels);
  text_free(input);
  text_free(settings);
}

void menu_bar() {
  start(L"menu");
  HWND f = frame_new(FRAME_DIALOG, nullptr);
  frame_set(f, ID("HOOK"), frame_standard_hook);
  frame_set(f, ID("TITLE"), "VI RIDEVA 9 64ved セットアップ");
  frame_set(f, ID("MENU"),
            "..ファイル(&F)\nSET\tセットアップ(&S)...\nVIEW\tファイル一覧(&V)\n--\n"
            "..表示(&V)\n...文字コード(&K)\nSJIS(rb)\tShift-JIS(&S)\nUTF8(rb ck)\tUTF-8(&U)\n"
            "EUC(rb)\tEUC-JP(&E)\n...end\nWRAP(cb ck)\t折り返し(&W)\n--\nFONT\tフォント(&F)...\n"
            "..ヘルプ(&H)\nHELP\tセットアップについて(&A)\n");
  HWND c = dialog_client(f);
  Text* log = text_new();
  text_puts(log,
            "VI RIDEVA 9 64ved のセットアップを開始します。\n"
            "add zq9\\zqeditor.exe \nadd zq9\\zq9.txt \nadd zq9\\menus.mnu \n"
            "インストール先: C:\\Program Files\\ZQ9\n");
  HWND view = pane_create(log, c, PANE_VISIBLE | PANE_BORDER | 0x2E, 30200, 0);
  pane_set(view, ID("CXAL"), 420);
  text_free(log);
  dialog_show(f);
  // Open the bar's second menu and its submenu, as a user would with Alt+V and Right.
  HWND bar = GetDlgItem(f, CHILD_MENUBAR);
  PostMessageW(bar, WM_SYSCHAR, 'v', 1 << 29);
  PostMessageW(bar, WM_KEYDOWN, VK_RIGHT, 1);
  PostMessageW(bar, WM_KEYDOWN, VK_DOWN, 1);
  while (dialog_run(f) != ID("CANCEL")) continue;
  dialog_close(f);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  shots_dpi_aware();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 3) return 2;
  wcsncpy(g_folder, argv[1], MAX_PATH - 1);
  wcsncpy(g_suffix, argv[2], 31);
  ui_init(instance);
  SetCursorPos(0, 0);  // no item under the mouse
  SetTimer(nullptr, 0, 50, tick);
  message_box();
  search_dialog();
  menu_bar();
  return 0;
}
