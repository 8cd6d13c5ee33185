// The set-up wizard's window: one dialog frame of the runtime whose panes are built anew for each
// page, with a heading above them and the button row below. The page logic (where Next and Back
// go, what a page shows) is setup/wizard.h's; this file only draws it and reads the controls.
//
// The wizard works on a copy of the set-up record: Cancel leaves the caller's record as it was.
// The heading, the welcome banner and the static texts are spacer panes of the runtime that this
// file paints itself, with the runtime's fonts and colours (uiwin/runtime.h), so that every page
// is laid out, scaled and docked by the runtime like its other panes.

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "cab/wizard_ui.h"
#include "core/codepage.h"
#include "setup/install.h"
#include "setup/wizard.h"
#include "ui/desc.h"
#include "uiwin/msgbox.h"
#include "uiwin/pane.h"
#include "uiwin/runtime.h"

namespace {

// Child identifiers of the wizard's panes.
enum : int {
  W_BUTTONS = 30250,
  W_RADIO1 = 30210,
  W_RADIO2 = 30211,
  W_CHECKS = 30212,
  W_INFO = 30213,
  W_FOLDER_BUTTONS = 30214,
  W_FIELD1 = 30200,  // labels "1\t..." move the focus here
  W_FIELD2 = 30201,  // and "2\t..." here
};

// The client area at 96 DPI: every page has the same size, as in a native installer.
constexpr int CLIENT_CX = 500, CLIENT_CY = 372;

const char* const kPageNames[WIZ_PAGES] = {"",
                                           "インストールの種類",
                                           "インストール先",
                                           "上書きインストール",
                                           "使用許諾契約証",
                                           "オプション",
                                           ""};
// The heading of the last page, whose title is the product's name alone.
const char kStartHeading[] = "インストールの開始";
// The line under a page's heading.
const char* const kPageNotes[WIZ_PAGES] = {
    "",
    "すべてのユーザ用か、ログオン中のユーザ専用かを選んでください。",
    "インストールするフォルダを指定してください。",
    "インストール先には、すでにインストールされています。",
    "次の使用許諾契約をお読みください。",
    "ショートカットと関連付けを選んでください。",
    "「完了」を押すと、次の内容でインストールします。"};

// ---- decorations: panes of the runtime that this window paints itself ----

enum DecoKind { DECO_HEADER, DECO_LINE, DECO_BANNER, DECO_STATIC, DECO_TITLE };
struct Deco {
  DecoKind kind;
  wchar_t* text;
  wchar_t* note;
  int indent;  // at 96 DPI
};
const wchar_t kDecoProp[] = L"zq.wizard.deco";

HFONT font_like(int dpi, int points_x10, bool bold) {
  LOGFONTW lf{};
  GetObjectW(ui_font(dpi)->font, sizeof lf, &lf);
  lf.lfHeight = -MulDiv(points_x10, dpi, 720);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectW(&lf);
}

void etched_line(HWND w, HDC dc, int left, int right, int y) {
  int s = ui_scale(w, 1);
  ui_fill(dc, RECT{left, y, right, y + s}, ui_color(COLOR_3DSHADOW));
  ui_fill(dc, RECT{left, y + s, right, y + 2 * s}, ui_color(COLOR_3DHILIGHT));
}

void paint_deco(HWND w, HDC dc, const Deco* d) {
  RECT rc;
  GetClientRect(w, &rc);
  int dpi = ui_dpi(w);
  ui_fill(dc, rc, ui_color(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, ui_font(dpi)->font);
  switch (d->kind) {
    case DECO_HEADER: {
      HFONT bold = font_like(dpi, 105, true);
      SelectObject(dc, bold);
      SetTextColor(dc, ui_color(COLOR_BTNTEXT));
      RECT t{rc.left + ui_scale(w, 2), rc.top + ui_scale(w, 2), rc.right, rc.bottom};
      DrawTextW(dc, d->text, -1, &t, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, ui_font(dpi)->font);
      DeleteObject(bold);
      t.left += ui_scale(w, 16);
      t.top += ui_font(dpi)->height + ui_scale(w, 8);
      DrawTextW(dc, d->note, -1, &t, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      etched_line(w, dc, rc.left, rc.right, rc.bottom - ui_scale(w, 2));
      break;
    }
    case DECO_LINE:
      etched_line(w, dc, rc.left, rc.right, (rc.top + rc.bottom) / 2);
      break;
    case DECO_BANNER: {
      // A vertical gradient from deep to lighter blue, the product's name in white.
      int h = rc.bottom - rc.top;
      for (int y = 0; y < h; y += 2) {
        int k = h > 0 ? y * 255 / h : 0;
        COLORREF c = RGB(12 + k * 30 / 255, 44 + k * 80 / 255, 92 + k * 110 / 255);
        ui_fill(dc, RECT{rc.left, rc.top + y, rc.right, rc.top + y + 2}, c);
      }
      SetTextColor(dc, RGB(255, 255, 255));
      HFONT big = font_like(dpi, 150, true);
      SelectObject(dc, big);
      int m = ui_scale(w, 14);
      RECT t{rc.left + m, rc.top + m * 2, rc.right - m, rc.bottom};
      DrawTextW(dc, d->text, -1, &t, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      SelectObject(dc, ui_font(dpi)->font);
      DeleteObject(big);
      SetTextColor(dc, RGB(200, 220, 245));
      RECT n{rc.left + m, rc.bottom - m - ui_font(dpi)->height * 2, rc.right - m, rc.bottom};
      DrawTextW(dc, d->note, -1, &n, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      break;
    }
    case DECO_TITLE:
    case DECO_STATIC: {
      HFONT f = d->kind == DECO_TITLE ? font_like(dpi, 130, true) : nullptr;
      if (f) SelectObject(dc, f);
      SetTextColor(dc, ui_color(COLOR_BTNTEXT));
      RECT t{rc.left + ui_scale(w, d->indent), rc.top, rc.right - ui_scale(w, 8), rc.bottom};
      DrawTextW(dc, d->text, -1, &t, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      SelectObject(dc, ui_font(dpi)->font);
      if (f) DeleteObject(f);
      break;
    }
  }
  SelectObject(dc, old);
}

LRESULT CALLBACK deco_proc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
  Deco* d = (Deco*)GetPropW(w, kDecoProp);
  if (d) {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        paint_deco(w, dc, d);
        EndPaint(w, &ps);
        return 0;
      }
      case WM_NCDESTROY:
        RemovePropW(w, kDecoProp);
        std::free(d->text);
        std::free(d->note);
        std::free(d);
        break;
    }
  }
  return CallWindowProcW(pane_window_proc, w, message, wparam, lparam);
}

wchar_t* wide(const char* s) {
  return ui_wide(s ? s : "", -1);
}

// A spacer of the runtime docked at `side` (0x18 TOP, 0x19 BOTTOM, 0x1A LEFT), `thickness` at 96
// DPI, painted as `kind`.
HWND deco(HWND parent, unsigned side, int thickness, DecoKind kind, const char* text,
          const char* note = nullptr, int indent = 0) {
  HWND w = pane_create(nullptr, parent, PANE_VISIBLE | side, 0, thickness);
  if (!w) return nullptr;
  Deco* d = (Deco*)std::calloc(1, sizeof(Deco));
  if (!d) return w;
  *d = Deco{kind, wide(text), wide(note), indent};
  SetPropW(w, kDecoProp, d);
  SetWindowLongPtrW(w, GWLP_WNDPROC, (LONG_PTR)deco_proc);
  return w;
}

// A one-line input `chars` characters wide (at 96 DPI, with its border's room).
HWND field_pane(HWND parent, Text* text, int id, int chars) {
  HWND p = pane_create(text, parent, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | 0x1D, id, 0);
  pane_set(p, ID("PLACE"), ID("TOP"));
  pane_set(p, ID("CXAL"), chars * ui_font(96)->avg + 8);
  return p;
}

// A fixed client size at 96 DPI, centred on the work area, without a sizing border.
void fix_size(HWND frame, int cx96, int cy96) {
  LONG style = GetWindowLongW(frame, GWL_STYLE) & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
  SetWindowLongW(frame, GWL_STYLE, style);
  int dpi = ui_dpi(frame);
  RECT r{0, 0, MulDiv(cx96, dpi, 96), MulDiv(cy96, dpi, 96)};
  typedef BOOL(WINAPI * AdjustFn)(RECT*, DWORD, BOOL, DWORD, UINT);
  static AdjustFn adjust =
      (AdjustFn)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
  DWORD ex = (DWORD)GetWindowLongW(frame, GWL_EXSTYLE);
  if (adjust)
    adjust(&r, (DWORD)style, FALSE, ex, (UINT)dpi);
  else
    AdjustWindowRectEx(&r, (DWORD)style, FALSE, ex);
  int w = r.right - r.left, h = r.bottom - r.top;
  MONITORINFO mi{sizeof mi, {}, {}, 0};
  GetMonitorInfoW(MonitorFromWindow(frame, MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT a = mi.rcWork;
  SetWindowPos(frame, nullptr, a.left + (a.right - a.left - w) / 2,
               a.top + (a.bottom - a.top - h) / 2, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HWND new_dialog(HWND owner) {
  if (!owner) return dialog_new();
  HWND f = frame_new(FRAME_DIALOG | FRAME_CENTER, owner);
  frame_set(f, ID("HOOK"), frame_standard_hook);
  return f;
}

// On a monitor of another DPI the wizard takes the size the system proposes (its fixed size
// scaled), where the runtime would size a dialog anew from its panes, which differ per page.
bool wizard_hook(HWND frame, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (message == WM_DPICHANGED) {
    const RECT* r = (const RECT*)lparam;
    SetWindowPos(frame, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    *result = 0;
    return true;
  }
  return frame_standard_hook(frame, message, wparam, lparam, result);
}

// The help window of the wizard's Help button: the section of the help text, or an empty view.
void show_help(HWND owner, Text* section) {
  HWND f = new_dialog(owner);
  if (!f) return;
  frame_set(f, ID("TITLE"), "ZQ9について");
  HWND c = dialog_client(f);
  HWND row = pane_create("OK(b)\t閉じる(&C)\n", c, PANE_VISIBLE | PANE_TABSTOP | 0x14, 30291, 0);
  pane_set(row, ID("PLACE"), ID("BOTTOM"));
  pane_gap(c, ID("BOTTOM"));
  Text* empty = section ? nullptr : text_new();
  HWND view = pane_create(section ? section : empty, c,
                          PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | 0x2E, 30201, 0);
  pane_set(view, ID("READ"), 1);
  text_free(empty);
  dialog_show(f);
  fix_size(f, 520, 400);
  SetFocus(row);
  PackedId r;
  while ((r = dialog_run(f)) != ID("OK") && r != ID("CANCEL") && r) continue;
  dialog_close(f);
}

int CALLBACK browse_callback(HWND w, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED) {
    SetWindowTextW(w, L"セットアップ先");
    // Once now and once more after the dialog has filled its tree, which some systems do later.
    if (start) SendMessageW(w, BFFM_SETSELECTIONW, TRUE, start);
    if (start) PostMessageW(w, BFFM_SETSELECTIONW, TRUE, start);
  }
  return 0;
}

// REFER: the system's folder dialog titled "セットアップ先", starting at `start`.
bool browse_folder(HWND owner, const char* start, Text* out) {
  wchar_t* from = wide(start);
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = L"セットアップ先";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lpfn = browse_callback;
  bi.lParam = (LPARAM)(from && *from ? from : nullptr);
  HRESULT co = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  wchar_t path[MAX_PATH] = L"";
  bool ok = chosen && SHGetPathFromIDListW(chosen, path) && path[0];
  if (chosen) CoTaskMemFree(chosen);
  if (SUCCEEDED(co)) CoUninitialize();
  std::free(from);
  if (!ok) return false;
  char* mb = to_narrow_new((const char16_t*)path, -1);
  if (!mb) return false;
  text_clear(out);
  text_write(out, mb, (int64_t)std::strlen(mb));
  std::free(mb);
  return true;
}

struct WizardWindow {
  Wizard w;
  HWND frame;
  HWND container;
  const PakBlock* pak;
  Text* help;  // "zq9.txt" of the package, read when Help is first pressed
  // The page's models, kept until the next page is built (the panes hold references too).
  Text* radio1;
  Text* radio2;
  Text* checks;
  Text* field1;
  Text* field2;
};

void free_models(WizardWindow* ww) {
  for (Text** t : {&ww->radio1, &ww->radio2, &ww->checks, &ww->field1, &ww->field2}) {
    text_free(*t);
    *t = nullptr;
  }
}

Text* radio_text(const char* id, const char* caption, bool on) {
  Text* t = text_new();
  text_printf(t, "%s(rb%s)\t%s\n", id, on ? " ck" : "", caption);
  return t;
}

void add_check(Text* t, Text* rec, const char* key, const char* caption) {
  text_printf(t, "%s(cb%s)\t%s\n", key, setup_get(rec, id_pack(key)) ? " ck" : "", caption);
}

// The agreement: "contract.txt" of the package, read by the engine's walk for one file.
void put_agreement(const PakBlock* pak, Text* out) {
  size_t n = 0;
  uint8_t* bytes = pak ? pak_read_file(pak, PAK_MODE_AGREEMENT, &n) : nullptr;
  if (bytes) text_write(out, (const char*)bytes, (int64_t)n);
  std::free(bytes);
  text_top(out);
}

HWND button_row(WizardWindow* ww, unsigned buttons) {
  Text* t = text_new();
  text_printf(t, "BACK%s\t< 戻る(&B)\n", buttons & WIZ_BACK ? "" : "(2)");
  if (buttons & WIZ_FINISH)
    text_puts(t, "FINISH(b)\t完了(&F)\n");
  else
    text_printf(t, "NEXT%s\t次へ(&N) >\n", buttons & WIZ_NEXT ? "(b)" : "(2)");
  text_puts(t, "--sp\nCANCEL\tキャンセル\n--sp\nHELP\tヘルプ(&H)\n");
  HWND row = pane_create(t, ww->container, PANE_VISIBLE | PANE_TABSTOP | 0x14, W_BUTTONS, 0);
  pane_set(row, ID("PLACE"), ID("BOTTOM"));
  text_free(t);
  return row;
}

HWND label(HWND parent, int n, const char* caption) {
  Text* t = text_new();
  text_printf(t, "%d\t%s\n", n, caption);
  HWND p = pane_create(t, parent, PANE_VISIBLE | 0x12, 30220 + n, 0);
  pane_set(p, ID("PLACE"), ID("TOP"));
  text_free(t);
  return p;
}

HWND info_view(HWND parent, Text* content) {
  HWND v =
      pane_create(content, parent, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | 0x2E, W_INFO, 0);
  pane_set(v, ID("READ"), 1);
  return v;
}

// Builds the panes of `page` from the record, with the page's content as the page logic and the
// package give it. The focus goes to the button row, on Next or Finish.
void build_page(WizardWindow* ww, int page) {
  HWND c = ww->container;
  // Redrawing is held on the container, never on the frame: turning it back on sets WS_VISIBLE,
  // which on a frame not shown yet would keep the later ShowWindow from showing it at all.
  bool hold = IsWindowVisible(c) != 0;
  if (hold) SendMessageW(c, WM_SETREDRAW, FALSE, 0);
  while (HWND child = GetWindow(c, GW_CHILD)) DestroyWindow(child);
  free_models(ww);
  Text* rec = ww->w.rec;
  Text* content = text_new();
  bool radio1 = true;
  unsigned buttons = wizard_enter(&ww->w, page, content, &radio1);
  if (page == WIZ_AGREEMENT) put_agreement(ww->pak, content);

  Text* title = text_new();
  if (page == WIZ_WELCOME)
    text_printf(title, "%s セットアップ", SETUP_PRODUCT);
  else if (page == WIZ_START)
    text_puts(title, SETUP_PRODUCT);
  else
    text_printf(title, "%s - %s", kPageNames[page], SETUP_PRODUCT);
  frame_set(ww->frame, ID("TITLE"), title);
  text_free(title);

  // Every page: the button row under a line, then the banner (welcome) or the heading.
  HWND row = button_row(ww, buttons);
  deco(c, 0x19, 18, DECO_LINE, "");
  if (page == WIZ_WELCOME) {
    deco(c, 0x1A, 164, DECO_BANNER, SETUP_PRODUCT, SETUP_VENDOR);
    pane_gap(c, ID("LEFT"));
    pane_gap(c, ID("LEFT"));
  } else {
    deco(c, 0x18, 50, DECO_HEADER, page == WIZ_START ? kStartHeading : kPageNames[page],
         kPageNotes[page]);
    pane_gap(c, ID("TOP"));
    pane_gap(c, ID("TOP"));
  }

  switch (page) {
    case WIZ_WELCOME:
    case WIZ_KIND: {
      bool welcome = page == WIZ_WELCOME;
      if (welcome) {
        Text* t = text_new();
        text_printf(t, "%s へようこそ", SETUP_PRODUCT);
        deco(c, 0x18, 56, DECO_TITLE, text_cstr(t));
        text_free(t);
        deco(c, 0x18, 58, DECO_STATIC,
             "このプログラムは、エディタとその仲間をコンピュータにインストールします。"
             "インストールの方法を選んで「次へ」を押してください。");
        pane_gap(c, ID("TOP"));
      } else {
        pane_gap(c, ID("TOP"));
      }
      ww->radio1 =
          radio_text("RADIO1", welcome ? "標準インストール" : "標準ユーザインストール", radio1);
      ww->radio2 = radio_text("RADIO2", welcome ? "カスタムインストール" : "ユーザ専用インストール",
                              !radio1);
      pane_set(pane_create(ww->radio1, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, W_RADIO1, 0),
               ID("PLACE"), ID("TOP"));
      deco(c, 0x18, 40, DECO_STATIC,
           welcome ? "デフォルトのフォルダとオプションでインストールします"
                   : "Windowsプログラムフォルダへインストールします。標準的なインストールです",
           nullptr, 22);
      pane_set(pane_create(ww->radio2, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, W_RADIO2, 0),
               ID("PLACE"), ID("TOP"));
      deco(c, 0x18, 40, DECO_STATIC,
           welcome ? "インストール先のフォルダやオプションを指定してインストールします"
                   : "ログオンのユーザフォルダやSDカードへインストールします",
           nullptr, 22);
      break;
    }
    case WIZ_FOLDER: {
      pane_gap(c, ID("TOP"));
      label(c, 1, "インストール先のフォルダ");
      ww->field1 = setup_get_text(rec, ID("DST"));
      field_pane(c, ww->field1, W_FIELD1, 60);
      pane_gap(c, ID("TOP"));
      pane_set(pane_create("REFER\tフォルダの参照(&R)...\n--"
                           "sp\nHIST\t前回セットアップしたフォルダにセット(&P)\n",
                           c, PANE_VISIBLE | PANE_TABSTOP | 0x14, W_FOLDER_BUTTONS, 0),
               ID("PLACE"), ID("TOP"));
      pane_gap(c, ID("TOP"));
      pane_gap(c, ID("TOP"));
      label(c, 2, "ZQのフォルダ名");
      ww->field2 = setup_get_text(rec, ID("FOLDER"));
      field_pane(c, ww->field2, W_FIELD2, 20);
      break;
    }
    case WIZ_OVERWRITE: {
      ww->checks = text_new();
      add_check(ww->checks, rec, "RESCUE", "修復インストール(&R)");
      HWND box = pane_create(ww->checks, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, W_CHECKS, 0);
      pane_set(box, ID("PLACE"), ID("BOTTOM"));
      pane_gap(c, ID("BOTTOM"));
      info_view(c, content);
      break;
    }
    case WIZ_AGREEMENT:
      info_view(c, content);
      break;
    case WIZ_OPTIONS: {
      pane_gap(c, ID("TOP"));
      label(c, 1, "ショートカットの名前");
      ww->field1 = setup_get_text(rec, ID("ICON"));
      field_pane(c, ww->field1, W_FIELD1, 20);
      pane_gap(c, ID("TOP"));
      pane_gap(c, ID("TOP"));
      ww->checks = text_new();
      add_check(ww->checks, rec, "REGSM", "スタートメニューへ登録");
      add_check(ww->checks, rec, "REGDT", "デスクトップにショートカットを作成");
      add_check(ww->checks, rec, "REGEXE", "レジストリのzqeditor.exeに登録");
      add_check(ww->checks, rec, "REGTXT", "テキストファイル(.txt)に関連付け");
      pane_set(pane_create(ww->checks, c, PANE_VISIBLE | PANE_TABSTOP | 0x12, W_CHECKS, 0),
               ID("PLACE"), ID("TOP"));
      break;
    }
    case WIZ_START:
      deco(c, 0x18, 26, DECO_STATIC, "インストールを開始します");
      info_view(c, content);
      break;
  }
  text_free(content);
  if (hold) SendMessageW(c, WM_SETREDRAW, TRUE, 0);
  pane_layout(c);
  RedrawWindow(ww->frame, nullptr, nullptr,
               RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  // The focus on the default button, as a native wizard has it.
  if (IsWindowVisible(ww->frame)) SetFocus(row);
  pane_set(row, ID("CURSOR"), 1);
}

// Next, Back and the buttons of a page store its controls into the record first.
void store_page(WizardWindow* ww) {
  Text* rec = ww->w.rec;
  switch (ww->w.page) {
    case WIZ_FOLDER:
      setup_set_text(rec, ID("DST"), ww->field1);
      setup_set_text(rec, ID("FOLDER"), ww->field2);
      break;
    case WIZ_OVERWRITE:
      setup_set(rec, ID("RESCUE"), desc_is_checked(ww->checks, ID("RESCUE")) ? 1 : 0);
      break;
    case WIZ_OPTIONS:
      setup_set_text(rec, ID("ICON"), ww->field1);
      for (const char* key : {"REGSM", "REGDT", "REGEXE", "REGTXT"})
        setup_set(rec, id_pack(key), desc_is_checked(ww->checks, id_pack(key)) ? 1 : 0);
      break;
  }
}

void show_page(WizardWindow* ww, int page, bool hide) {
  // Leaving the agreement the sheet is hidden while the next page is built.
  if (hide) ShowWindow(ww->frame, SW_HIDE);
  build_page(ww, page);
  if (hide) {
    ShowWindow(ww->frame, SW_SHOW);
    SetForegroundWindow(ww->frame);
    SetFocus(GetDlgItem(ww->container, W_BUTTONS));
  }
}

void next(WizardWindow* ww) {
  store_page(ww);
  int from = ww->w.page;
  bool radio1 = ww->radio1 && desc_is_checked(ww->radio1, ID("RADIO1"));
  Text* message = text_new();
  Text* note = text_new();
  int to = wizard_next(&ww->w, radio1, message, note);
  if (text_length(message)) msg_info("%s", text_cstr(message));
  if (text_length(note)) msg_info("%s", text_cstr(note));
  text_free(message);
  text_free(note);
  if (to != from) show_page(ww, to, from == WIZ_OVERWRITE || from == WIZ_AGREEMENT);
}

void choose_radio(WizardWindow* ww, bool first) {
  if (!ww->radio1 || !ww->radio2) return;
  desc_check(ww->radio1, ID("RADIO1"), first);
  desc_check(ww->radio2, ID("RADIO2"), !first);
  pane_refresh(GetDlgItem(ww->container, W_RADIO1));
  pane_refresh(GetDlgItem(ww->container, W_RADIO2));
}

void help(WizardWindow* ww) {
  if (!ww->help && ww->pak) {
    size_t n = 0;
    uint8_t* bytes = pak_read_file(ww->pak, PAK_MODE_HELP, &n);
    if (bytes) {
      ww->help = text_new();
      text_write(ww->help, (const char*)bytes, (int64_t)n);
      std::free(bytes);
    }
  }
  Text* section = help_section(ww->help, ID("HLPSUP"));
  show_help(ww->frame, section);
  text_free(section);
}

void refer(WizardWindow* ww) {
  store_page(ww);
  Text* dst = setup_get_text(ww->w.rec, ID("DST"));
  Text* chosen = text_new();
  if (browse_folder(ww->frame, text_cstr(dst), chosen)) {
    wizard_refer(&ww->w, text_cstr(chosen));
    build_page(ww, WIZ_FOLDER);
  }
  text_free(chosen);
  text_free(dst);
}

void hist(WizardWindow* ww) {
  store_page(ww);
  hist_load(ww->w.rec);
  Text* previous = setup_get_text(ww->w.rec, ID("HIST"));
  wizard_hist(&ww->w, text_cstr(previous));
  text_free(previous);
  build_page(ww, WIZ_FOLDER);
}

}  // namespace

bool setup_wizard_with(HWND owner, Text* rec, const SetupEnv* env, const PakBlock* pak) {
  if (!rec) return false;
  SetupEnv own{};
  bool own_env = !env && setup_env_load(&own);
  if (!env) env = &own;
  WizardWindow ww{};
  // The wizard's own copy of the record: the caller's is changed only when the wizard finishes.
  Text* work = text_new();
  text_put_text(work, text_cstr(rec));
  wizard_init(&ww.w, work, env);
  ww.pak = pak ? pak : pak_open();
  ww.w.package_time_known = ww.pak && pak_editor_date(ww.pak, &ww.w.package_time);
  ww.frame = new_dialog(owner);
  bool finished = false;
  if (ww.frame) {
    frame_set(ww.frame, ID("HOOK"), wizard_hook);
    ww.container = dialog_client(ww.frame);
    build_page(&ww, WIZ_WELCOME);
    dialog_show(ww.frame);
    fix_size(ww.frame, CLIENT_CX, CLIENT_CY);
    SetFocus(GetDlgItem(ww.container, W_BUTTONS));
    for (bool running = true; running;) {
      PackedId r = dialog_run(ww.frame);
      switch (r) {
        case ID("OK"):  // Enter: the default button
          if (ww.w.page == WIZ_START) {
            finished = true;
            running = false;
          } else {
            next(&ww);
          }
          break;
        case ID("NEXT"):
          next(&ww);
          break;
        case ID("FINISH"):
          finished = true;
          running = false;
          break;
        case ID("BACK"):
          if (ww.w.depth > 0) {
            store_page(&ww);
            build_page(&ww, wizard_back(&ww.w));
          }
          break;
        case ID("RADIO1"):
        case ID("RADIO2"):
          choose_radio(&ww, r == ID("RADIO1"));
          break;
        case ID("HELP"):
          help(&ww);
          break;
        case ID("REFER"):
          if (ww.w.page == WIZ_FOLDER) refer(&ww);
          break;
        case ID("HIST"):
          if (ww.w.page == WIZ_FOLDER) hist(&ww);
          break;
        case ID("CANCEL"):
        case 0:
          running = false;
          break;
        default:
          if (!IsWindow(ww.frame)) running = false;
          break;
      }
    }
    dialog_close(ww.frame);
  }
  if (finished) {
    text_clear(rec);
    text_put_text(rec, text_cstr(work));
  }
  free_models(&ww);
  text_free(ww.help);
  text_free(work);
  if (own_env) setup_env_free(&own);
  return finished;
}

bool setup_wizard(HWND owner, Text* rec) {
  return setup_wizard_with(owner, rec, nullptr, nullptr);
}
