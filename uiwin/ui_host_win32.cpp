// The runtime's face toward the host: the "TXVIEW" class, the host window's procedure, the open
// applet windows, pre-translation of queued messages (popup keys, dialog navigation,
// accelerators), pane options, the transient popup and tip, and shutdown.

#include <windows.h>

#include "uiwin/ui_host.h"
// After windows.h, which they need.
#include <imm.h>

#include <cstdlib>
#include <cstring>

#include "ui/notify.h"
#include "uiwin/menu.h"
#include "uiwin/runtime.h"

namespace {

ATOM g_view_atom;
HWND g_tip;
wchar_t* g_tip_text;
HWND g_tip_owner;

LRESULT CALLBACK tip_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT rc;
      GetClientRect(window, &rc);
      ui_fill(dc, rc, ui_color(COLOR_INFOBK));
      HGDIOBJ old = SelectObject(dc, ui_font(ui_dpi(window))->font);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, ui_color(COLOR_INFOTEXT));
      RECT in = rc;
      InflateRect(&in, -ui_scale(window, 4), -ui_scale(window, 2));
      if (g_tip_text) DrawTextW(dc, g_tip_text, -1, &in, DT_NOPREFIX | DT_WORDBREAK);
      SelectObject(dc, old);
      EndPaint(window, &ps);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void ensure_tip() {
  if (g_tip) return;
  static bool registered;
  if (!registered) {
    registered = true;
    ui_register_class(ui_instance(), UI_CLASS_TIP, tip_proc, CS_DROPSHADOW, 0);
  }
  g_tip =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, UI_CLASS_TIP, L"",
                      WS_POPUP | WS_BORDER, 0, 0, 10, 10, nullptr, nullptr, ui_instance(), nullptr);
}

bool is_input(UINT m) {
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN ||
         m == WM_MBUTTONDOWN || m == WM_NCLBUTTONDOWN || m == WM_MOUSEWHEEL;
}

}  // namespace

void ui_register_view_class(HINSTANCE instance) {
  if (g_view_atom) return;
  g_view_atom = ui_register_class(instance ? instance : GetModuleHandleW(nullptr), UI_CLASS_VIEW,
                                  pane_window_proc, CS_DBLCLKS, 16);
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  ui_view_set_wheel_lines((int)lines);
  ui_init(instance);
}

LRESULT CALLBACK ui_host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam >= 1000 && wparam < 1256) {
        // Key-repeat acceleration: one more press while the key is still held.
        UINT vk = (UINT)(wparam - 1000);
        KillTimer(window, wparam);
        HWND focus = GetFocus();
        if (focus && GetAsyncKeyState((int)vk) < 0) PostMessageW(focus, WM_KEYDOWN, vk, 1);
        return 0;
      }
      if (wparam == 88 && g_tip && IsWindowVisible(g_tip)) {
        // The tip goes when the mouse has left the pane that showed it.
        POINT pt;
        GetCursorPos(&pt);
        if (WindowFromPoint(pt) != g_tip_owner) tip_hide();
      }
      return 0;
    case UI_MSG_IDLE:
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool ui_pretranslate(MSG* msg) {
  if (!msg) return false;
  popup_click_outside(msg);
  if (g_tip && is_input(msg->message) && msg->message != WM_MOUSEMOVE) tip_hide();
  if (popup_key(msg)) return true;
  return dialog_key(msg);
}

bool ui_is_pane(HWND window) {
  return window && g_view_atom && (ATOM)GetClassWord(window, GCW_ATOM) == g_view_atom;
}

unsigned ui_pane_options(HWND window) {
  Pane* p = pane_of(window);
  return p ? p->options : 0;
}

void ui_pane_set_imeon(HWND window, bool on) {
  Pane* p = pane_of(window);
  if (!p) return;
  p->options = on ? (p->options | UI_PANE_IMEON) : (p->options & ~UI_PANE_IMEON);
  HIMC imc = ImmGetContext(window);
  if (imc) {
    ImmSetOpenStatus(imc, on ? TRUE : FALSE);
    ImmReleaseContext(window, imc);
  }
}

void ui_pane_blink_seen(HWND window) {
  Pane* p = pane_of(window);
  if (p) p->options |= 0x100;  // the caret has blinked since the pane last drew it
}

HWND ui_popup_window() {
  if (popup_root()) return popup_root();
  return g_tip && IsWindowVisible(g_tip) ? g_tip : nullptr;
}

bool ui_transient_open() {
  return ui_popup_window() != nullptr;
}

void tip_show(HWND pane, const RECT* item, const char* help, int length) {
  ensure_tip();
  if (!g_tip) return;
  std::free(g_tip_text);
  g_tip_text = ui_wide(help, length);
  g_tip_owner = pane;
  HDC dc = GetDC(g_tip);
  HGDIOBJ old = SelectObject(dc, ui_font(ui_dpi(pane))->font);
  RECT r{0, 0, ui_scale(pane, 360), 0};
  DrawTextW(dc, g_tip_text ? g_tip_text : L"", -1, &r, DT_NOPREFIX | DT_WORDBREAK | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(g_tip, dc);
  int w = r.right + 2 * ui_scale(pane, 4) + 2, h = r.bottom + 2 * ui_scale(pane, 2) + 2;
  SetWindowPos(g_tip, HWND_TOPMOST, item->left, item->bottom + ui_scale(pane, 2), w, h,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(g_tip, nullptr, TRUE);
}

void tip_hide() {
  if (g_tip && IsWindowVisible(g_tip)) ShowWindow(g_tip, SW_HIDE);
}

HWND tip_window() {
  return g_tip;
}

void ui_shutdown() {
  menu_shutdown();
  if (g_tip) DestroyWindow(g_tip);
  g_tip = nullptr;
  std::free(g_tip_text);
  g_tip_text = nullptr;
  view_shutdown();
  edit_history_free();
  ui_draw_shutdown();
  notify_set_sink(nullptr);
}

namespace {
UiMessagePump g_pump;
}  // namespace

void ui_set_message_pump(UiMessagePump pump) {
  g_pump = pump;
}

int ui_pump_message(MSG* msg) {
  if (g_pump) return g_pump(msg);
  int got = GetMessageW(msg, nullptr, 0, 0);
  if (got == 1 && !ui_pretranslate(msg)) {
    TranslateMessage(msg);
    DispatchMessageW(msg);
  }
  return got;
}
