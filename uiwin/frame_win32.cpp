// Frames ("DuroDA64"), pane containers ("TEXTPANE", "TEXTTABPANE"), the modal loop with its stack
// of dialogs, the keyboard handler of dialogs, docking layout, and the input box.
//
// A command reaches a frame as UI_MSG_COMMAND. The frame's hook sees it first; the standard hook of
// dialogs keeps window commands for the frame and makes every other command the dialog's result,
// but only for the dialog on top of the stack: a lower one shows the close-order notice instead.

#include <windows.h>
// After windows.h, which they need.
#include <imm.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/format.h"
#include "core/records.h"
#include "ui/notify.h"
#include "uiwin/menu.h"
#include "uiwin/msgbox.h"
#include "uiwin/runtime.h"
#include "uiwin/ui_host.h"

namespace {

enum { STACK_MAX = 20 };

struct LoopEntry {
  HWND frame;
  PackedId result;
};
// One slot beyond the twenty for the runtime's own notices (the limit and close-order messages).
LoopEntry g_stack[STACK_MAX + 1];
int g_depth;
bool g_notice_open;

HINSTANCE g_instance;
HWND g_owner;
int g_applets;
bool g_classes;
wchar_t g_title[128] = L"VI RIDEVA 9 64ved";

// Window commands that the standard hook leaves to the frame.
bool is_window_command(PackedId id) {
  switch (id) {
    case ID("SHOW"):
    case ID("FULLY"):
    case ID("STATW"):
    case ID("STATW1"):
    case ID("STATWA"):
    case ID("WINDOW"):
    case ID("WINNXT"):
    case ID("WINPRE"):
      return true;
  }
  return false;
}

int stack_index(HWND frame) {
  for (int i = g_depth - 1; i >= 0; --i)
    if (g_stack[i].frame == frame) return i;
  return -1;
}

// The runtime's own notice: a box that may take the slot beyond the twentieth.
void notice(const char* message) {
  if (g_notice_open) {
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  g_notice_open = true;
  msg_box(0, message);
  g_notice_open = false;
}

int tab_strip_height(HWND tabs);

// ---- layout of a container ----

bool docked(PackedId place) {
  return place == ID("TOP") || place == ID("BOTTOM") || place == ID("LEFT") || place == ID("RIGHT");
}

PackedId place_of(HWND child) {
  Pane* p = pane_of(child);
  return p ? p->place : 0;
}

bool laid_out(HWND child) {
  return (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) && pane_of(child);
}

int margin_of(HWND container) {
  Frame* f = frame_of(GetAncestor(container, GA_ROOT));
  if (!f || (f->mode & FRAME_APPLET)) return 0;
  return ui_dialog_unit(container) * 3 / 2;
}

// What the panes from `child` on need: docked panes take their side, the others share the rest.
SIZE need_from(HWND child) {
  SIZE fill{0, 0};
  HWND c = child;
  for (; c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!laid_out(c)) continue;
    PackedId place = place_of(c);
    if (docked(place)) break;
    SIZE s = pane_preferred(c, 0);
    if (s.cx > fill.cx) fill.cx = s.cx;
    fill.cy += s.cy;
  }
  if (!c) return fill;
  SIZE rest = need_from(GetWindow(c, GW_HWNDNEXT));
  rest.cx = rest.cx > fill.cx ? rest.cx : fill.cx;
  rest.cy += fill.cy;
  SIZE s = pane_preferred(c, 0);
  PackedId place = place_of(c);
  if (place == ID("TOP") || place == ID("BOTTOM"))
    return SIZE{s.cx > rest.cx ? s.cx : rest.cx, s.cy + rest.cy};
  return SIZE{s.cx + rest.cx, s.cy > rest.cy ? s.cy : rest.cy};
}

SIZE container_need(HWND container) {
  SIZE s = need_from(GetWindow(container, GW_CHILD));
  int m = margin_of(container);
  s.cx += 2 * m;
  s.cy += 2 * m;
  return s;
}

void layout_container(HWND container) {
  RECT room;
  GetClientRect(container, &room);
  int m = margin_of(container);
  InflateRect(&room, -m, -m);
  HWND fills[64];
  int nfill = 0;
  HDWP dwp = BeginDeferWindowPos(16);
  for (HWND c = GetWindow(container, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!laid_out(c)) continue;
    PackedId place = place_of(c);
    RECT r = room;
    if (place == ID("TOP") || place == ID("BOTTOM")) {
      int h = pane_preferred(c, room.right - room.left).cy;
      if (place == ID("TOP")) {
        r.bottom = r.top + h;
        room.top = r.bottom;
      } else {
        r.top = r.bottom - h;
        room.bottom = r.top;
      }
    } else if (place == ID("LEFT") || place == ID("RIGHT")) {
      int w = pane_preferred(c, 0).cx;
      if (place == ID("LEFT")) {
        r.right = r.left + w;
        room.left = r.right;
      } else {
        r.left = r.right - w;
        room.right = r.left;
      }
      Pane* p = pane_of(c);
      if (p && pane_is_items(p)) r.bottom = r.top + pane_preferred(c, 0).cy;
    } else {
      if (nfill < 64) fills[nfill++] = c;
      continue;
    }
    if (r.bottom < r.top) r.bottom = r.top;
    if (r.right < r.left) r.right = r.left;
    dwp = DeferWindowPos(dwp, c, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The remaining panes share the room from the top; the last one takes what is left.
  int y = room.top;
  for (int i = 0; i < nfill; ++i) {
    int h = i + 1 < nfill ? pane_preferred(fills[i], room.right - room.left).cy : room.bottom - y;
    if (h < 0) h = 0;
    dwp = DeferWindowPos(dwp, fills[i], nullptr, room.left, y, room.right - room.left, h,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    y += h;
  }
  EndDeferWindowPos(dwp);
}

// ---- frames ----

HWND bar_of(HWND frame, int id) {
  return GetDlgItem(frame, id);
}

int bar_height(HWND frame, int id) {
  HWND bar = bar_of(frame, id);
  return bar && (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) ? pane_preferred(bar, 0).cy : 0;
}

void layout_frame(HWND frame) {
  RECT rc;
  GetClientRect(frame, &rc);
  int top = 0, bottom = rc.bottom;
  for (int id : {CHILD_MENUBAR, CHILD_MENUBAR_C}) {
    int h = bar_height(frame, id);
    if (h)
      SetWindowPos(bar_of(frame, id), nullptr, 0, top, rc.right, h, SWP_NOZORDER | SWP_NOACTIVATE);
    top += h;
  }
  for (int id : {CHILD_BUTTONS3, CHILD_BUTTONS2, CHILD_BUTTONS}) {
    int h = bar_height(frame, id);
    if (h) {
      bottom -= h;
      SetWindowPos(bar_of(frame, id), nullptr, 0, bottom, rc.right, h,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  for (int id : {CHILD_CONTAINER, CHILD_TABS}) {
    HWND c = GetDlgItem(frame, id);
    if (c)
      SetWindowPos(c, nullptr, 0, top, rc.right, bottom > top ? bottom - top : 0,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

SIZE frame_need(HWND frame) {
  SIZE s{0, 0};
  HWND c = GetDlgItem(frame, CHILD_CONTAINER);
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (tabs) {
    for (HWND pg = GetWindow(tabs, GW_CHILD); pg; pg = GetWindow(pg, GW_HWNDNEXT)) {
      SIZE n = container_need(pg);
      if (n.cx > s.cx) s.cx = n.cx;
      if (n.cy > s.cy) s.cy = n.cy;
    }
    s.cy += tab_strip_height(tabs);
  } else if (c) {
    s = container_need(c);
  }
  for (int id : {CHILD_MENUBAR, CHILD_MENUBAR_C, CHILD_BUTTONS, CHILD_BUTTONS2, CHILD_BUTTONS3}) {
    HWND bar = bar_of(frame, id);
    if (!bar) continue;
    SIZE b = pane_preferred(bar, 0);
    if (b.cx > s.cx) s.cx = b.cx;
    s.cy += b.cy;
  }
  return s;
}

// The frame's window size for its panes at its DPI.
SIZE frame_outer_size(HWND frame) {
  SIZE need = frame_need(frame);
  RECT r{0, 0, need.cx, need.cy};
  DWORD style = (DWORD)GetWindowLongW(frame, GWL_STYLE),
        ex = (DWORD)GetWindowLongW(frame, GWL_EXSTYLE);
  typedef BOOL(WINAPI * AdjustFn)(RECT*, DWORD, BOOL, DWORD, UINT);
  static AdjustFn adjust =
      (AdjustFn)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
  if (adjust)
    adjust(&r, style, FALSE, ex, (UINT)ui_dpi(frame));
  else
    AdjustWindowRectEx(&r, style, FALSE, ex);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void free_frame(HWND window, Frame* f) {
  int i = stack_index(window);
  if (i >= 0 && !g_stack[i].result) g_stack[i].result = ID("CANCEL");
  if (f->mode & FRAME_APPLET) {
    if (--g_applets <= 0) {
      g_applets = 0;
      PostQuitMessage(0);
    }
  }
  std::free(f);
}

LRESULT CALLBACK frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Frame* f = (Frame*)GetWindowLongPtrW(window, 0);
  if (message == WM_NCCREATE) {
    f = (Frame*)std::calloc(1, sizeof(Frame));
    if (!f) return FALSE;
    f->hwnd = window;
    f->mode = (unsigned)(uintptr_t)((CREATESTRUCTW*)lparam)->lpCreateParams;
    SetWindowLongPtrW(window, 0, (LONG_PTR)f);
    if (f->mode & FRAME_APPLET) ++g_applets;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  if (!f) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, 0, 0);
    free_frame(window, f);
    return DefWindowProcW(window, message, wparam, lparam);
  }
  LRESULT result = 0;
  if (f->hook && f->hook(window, message, wparam, lparam, &result)) return result;
  switch (message) {
    case UI_MSG_COMMAND:
      if ((PackedId)wparam == ID("SHOW")) {
        ShowWindow(window, (int)lparam);
        return 0;
      }
      frame_command(window, (PackedId)wparam);
      return 0;
    case WM_CLOSE:
      if (stack_index(window) >= 0) {
        frame_command(window, ID("CANCEL"));
        return 0;
      }
      DestroyWindow(window);
      return 0;
    case UI_MSG_DESTROY_FRAME:
      DestroyWindow(window);
      return 0;
    case WM_SIZE:
      layout_frame(window);
      return 0;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(window, &rc);
      ui_fill((HDC)wparam, rc, ui_color(COLOR_BTNFACE));
      return 1;
    }
    case WM_DPICHANGED: {
      // A dialog is sized anew from its panes at the new DPI; other frames take the system's size.
      const RECT* r = (const RECT*)lparam;
      SIZE s{r->right - r->left, r->bottom - r->top};
      if (f->mode & FRAME_DIALOG) s = frame_outer_size(window);
      SetWindowPos(window, nullptr, r->left, r->top, s.cx, s.cy, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) tip_hide();
      break;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_KEYMENU && lparam == 0) {
        // Alt alone: the keyboard goes to the menu bar, on its first heading.
        HWND bar = GetDlgItem(window, CHILD_MENUBAR);
        if (bar && IsWindowVisible(bar)) {
          SetFocus(bar);
          pane_set(bar, PANE_TOP, 1);
          return 0;
        }
      }
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK container_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      layout_container(window);
      return 0;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(window, &rc);
      ui_fill((HDC)wparam, rc, ui_color(COLOR_BTNFACE));
      return 1;
    }
    case WM_SETFOCUS: {
      // The container hands the focus to its first pane that takes it.
      for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        LONG st = GetWindowLongW(c, GWL_STYLE);
        if ((st & WS_TABSTOP) && (st & WS_VISIBLE) && !(st & WS_DISABLED)) {
          SetFocus(c);
          break;
        }
      }
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// ---- the tabbed container: a strip of tab headers above the current page ----

// A wizard's pages have no tab headers: the wizard turns them itself.
int tab_strip_height(HWND tabs) {
  Frame* f = frame_of(GetAncestor(tabs, GA_ROOT));
  if (f && (f->mode & FRAME_WIZARD)) return 0;
  return ui_font(ui_dpi(tabs))->height + ui_scale(tabs, 10);
}

HWND tab_page(HWND tabs, int index) {
  return GetDlgItem(tabs, CHILD_PAGE + index);
}

int tab_at(HWND tabs, int x, int* count) {
  HDC dc = GetDC(tabs);
  HGDIOBJ old = SelectObject(dc, ui_font(ui_dpi(tabs))->font);
  int left = ui_scale(tabs, 4), hit = -1, n = 0;
  for (HWND pg; (pg = tab_page(tabs, n)) != nullptr; ++n) {
    wchar_t title[128];
    GetWindowTextW(pg, title, 128);
    int w = ui_caption_size(dc, title).cx + ui_scale(tabs, 16);
    if (x >= left && x < left + w) hit = n;
    left += w;
  }
  SelectObject(dc, old);
  ReleaseDC(tabs, dc);
  if (count) *count = n;
  return hit;
}

LRESULT CALLBACK tabs_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE: {
      int top = tab_strip_height(window);
      for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        SetWindowPos(c, nullptr, 0, top, LOWORD(lparam), HIWORD(lparam) - top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      if (!tab_strip_height(window)) return 0;
      int i = tab_at(window, (short)LOWORD(lparam), nullptr);
      if (i >= 0) frame_select_page(GetAncestor(window, GA_ROOT), i);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT rc;
      GetClientRect(window, &rc);
      rc.bottom = tab_strip_height(window);
      ui_fill(dc, rc, ui_color(COLOR_BTNFACE));
      if (!rc.bottom) {
        EndPaint(window, &ps);
        return 0;
      }
      Frame* f = frame_of(GetAncestor(window, GA_ROOT));
      HGDIOBJ old = SelectObject(dc, ui_font(ui_dpi(window))->font);
      int left = ui_scale(window, 4);
      for (int n = 0;; ++n) {
        HWND pg = tab_page(window, n);
        if (!pg) break;
        wchar_t title[128];
        GetWindowTextW(pg, title, 128);
        int w = ui_caption_size(dc, title).cx + ui_scale(window, 16);
        RECT t{left, ui_scale(window, 2), left + w, rc.bottom};
        bool current = f && f->page == n;
        ui_fill(dc, t, current ? ui_color(COLOR_WINDOW) : ui_color(COLOR_BTNFACE));
        ui_draw_border(window, dc, t, false);
        ui_draw_caption(dc, title, t, DT_CENTER, ui_color(COLOR_BTNTEXT));
        left += w;
      }
      SelectObject(dc, old);
      EndPaint(window, &ps);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// The next (or previous) pane of the frame that takes the focus, wrapping around.
HWND next_pane(HWND frame, HWND from, bool back) {
  HWND all[128];
  int n = 0, at = -1;
  HWND container = GetDlgItem(frame, CHILD_CONTAINER);
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  Frame* f = frame_of(frame);
  if (tabs && f) container = tab_page(tabs, f->page);
  for (HWND c = container ? GetWindow(container, GW_CHILD) : nullptr; c && n < 128;
       c = GetWindow(c, GW_HWNDNEXT)) {
    LONG st = GetWindowLongW(c, GWL_STYLE);
    if (!(st & WS_TABSTOP) || !(st & WS_VISIBLE) || (st & WS_DISABLED)) continue;
    if (c == from) at = n;
    all[n++] = c;
  }
  if (!n) return nullptr;
  if (at < 0) return all[back ? n - 1 : 0];
  return all[(at + (back ? n - 1 : 1)) % n];
}

bool composing(HWND window) {
  HIMC imc = ImmGetContext(window);
  if (!imc) return false;
  LONG n = ImmGetCompositionStringW(imc, GCS_COMPSTR, nullptr, 0);
  ImmReleaseContext(window, imc);
  return n > 0;
}

struct AccelSearch {
  HWND skip;
  int ch;
  bool found;
};

BOOL CALLBACK accel_child(HWND child, LPARAM lp) {
  AccelSearch* a = (AccelSearch*)lp;
  if (child == a->skip || !IsWindowVisible(child)) return TRUE;
  Pane* p = pane_of(child);
  if (pane_is_items(p) && pane_accelerator(p, a->ch)) {
    a->found = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// ---- set-up ----

HINSTANCE ui_instance() {
  if (!g_instance) g_instance = GetModuleHandleW(nullptr);
  return g_instance;
}

ATOM ui_register_class(HINSTANCE instance, const wchar_t* name, WNDPROC proc, UINT style,
                       int extra) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = extra;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc);
}

static int ui_notify_sink(NotifyKind kind, const char* message, unsigned callword) {
  switch (kind) {
    case NOTIFY_BOX: {
      int r = msg_box(callword, "%s", message);
      return r == 6 || r == 7 ? r : (r == 2 ? 2 : 6);
    }
    case NOTIFY_STATUS:
    case NOTIFY_LOG:
      return ui_notify_line(kind == NOTIFY_LOG, message);
  }
  return 0;
}

void ui_init(HINSTANCE instance) {
  if (g_classes) return;
  g_instance = instance ? instance : GetModuleHandleW(nullptr);
  g_classes = true;
  ui_register_view_class(g_instance);
  ui_register_class(g_instance, UI_CLASS_FRAME, frame_proc, CS_DBLCLKS, sizeof(void*));
  ui_register_class(g_instance, UI_CLASS_CONTAINER, container_proc, 0, 0);
  ui_register_class(g_instance, UI_CLASS_TABS, tabs_proc, 0, 0);
  notify_set_sink(ui_notify_sink);
}

void ui_set_owner(HWND owner) {
  g_owner = owner;
}

void ui_set_program_title(const char* title) {
  wchar_t* w = ui_wide(title, -1);
  if (!w) return;
  wcsncpy(g_title, w, 127);
  g_title[127] = 0;
  std::free(w);
}

const wchar_t* ui_program_title_wide() {
  return g_title;
}

int ui_open_window_count() {
  return g_applets;
}

// ---- frames ----

Frame* frame_of(HWND window) {
  return frame_is(window) ? (Frame*)GetWindowLongPtrW(window, 0) : nullptr;
}

bool frame_is(HWND window) {
  if (!window) return false;
  wchar_t name[16];
  if (!GetClassNameW(window, name, 16)) return false;
  return wcscmp(name, UI_CLASS_FRAME) == 0;
}

HWND frame_new(unsigned mode, HWND owner) {
  ui_init(ui_instance());
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
  if (mode & FRAME_APPLET) style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  HWND h =
      CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_FRAME, g_title, style, CW_USEDEFAULT,
                      CW_USEDEFAULT, 100, 100, owner, nullptr, g_instance, (void*)(uintptr_t)mode);
  return h;
}

HWND dialog_new() {
  HWND owner = g_owner ? g_owner : GetActiveWindow();
  HWND f = frame_new(FRAME_DIALOG | FRAME_CENTER, owner);
  frame_set(f, ID("HOOK"), frame_standard_hook);
  return f;
}

HWND dialog_new_modeless() {
  HWND f = dialog_new();
  frame_set_mode(f, FRAME_MODELESS, 0);
  return f;
}

unsigned frame_mode(HWND frame) {
  Frame* f = frame_of(frame);
  return f ? f->mode : 0;
}

void frame_set_mode(HWND frame, unsigned set, unsigned clear) {
  Frame* f = frame_of(frame);
  if (f) f->mode = (f->mode | set) & ~clear;
}

HWND dialog_client(HWND frame) {
  Frame* f = frame_of(frame);
  if (!f) return nullptr;
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (tabs) return tab_page(tabs, f->page);
  HWND c = GetDlgItem(frame, CHILD_CONTAINER);
  if (c) return c;
  RECT rc;
  GetClientRect(frame, &rc);
  return CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_CONTAINER, L"",
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0, 0, rc.right,
                         rc.bottom, frame, (HMENU)(intptr_t)CHILD_CONTAINER, g_instance, nullptr);
}

HWND frame_add_page(HWND frame, TextArg title) {
  Frame* f = frame_of(frame);
  if (!f) return nullptr;
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (!tabs) {
    RECT rc;
    GetClientRect(frame, &rc);
    tabs = CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_TABS, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, rc.right, rc.bottom,
                           frame, (HMENU)(intptr_t)CHILD_TABS, g_instance, nullptr);
  }
  int n = 0;
  while (tab_page(tabs, n)) ++n;
  int64_t len = 0;
  const char* s = title.p ? text_view(title, &len) : "";
  wchar_t* w = ui_wide(s, title.p ? (int)len : 0);
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_CONTAINER, w ? w : L"",
                              WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, tabs,
                              (HMENU)(intptr_t)(CHILD_PAGE + n), g_instance, nullptr);
  std::free(w);
  frame_select_page(frame, n);
  return page;
}

bool frame_select_page(HWND frame, int index) {
  Frame* f = frame_of(frame);
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (!f || !tabs || !tab_page(tabs, index)) return false;
  f->page = index;
  for (int n = 0; tab_page(tabs, n); ++n)
    ShowWindow(tab_page(tabs, n), n == index ? SW_SHOW : SW_HIDE);
  RECT rc;
  GetClientRect(tabs, &rc);
  SendMessageW(tabs, WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
  InvalidateRect(tabs, nullptr, TRUE);
  return true;
}

static HWND set_bar(HWND frame, int id, unsigned style, TextArg value) {
  HWND bar = GetDlgItem(frame, id);
  if (!value.p) {
    if (bar) DestroyWindow(bar);
    layout_frame(frame);
    return nullptr;
  }
  Text* t = nullptr;
  Text* own = nullptr;
  if (text_is_handle(value.p)) {
    t = (Text*)value.p;
  } else {
    t = own = text_new();
    text_puts(own, (const char*)value.p);
  }
  text_set_prop(t, ID("_FIXHED"), 1);
  if (bar && pane_text(bar) != t) {
    // A second description replaces the bar's lines.
    Text* mine = pane_text(bar);
    text_clear(mine);
    text_put_text(mine, text_cstr(t));
    pane_refresh(bar);
  } else if (!bar) {
    bar = pane_create(t, frame, style, id, 0);
  }
  text_free(own);
  layout_frame(frame);
  return bar;
}

bool frame_set(HWND frame, PackedId property, TextArg value) {
  Frame* f = frame_of(frame);
  if (!f) return false;
  switch (property) {
    case ID("TITLE"): {
      int64_t len = 0;
      const char* s = value.p ? text_view(value, &len) : "";
      wchar_t* w = ui_wide(s, value.p ? (int)len : 0);
      SetWindowTextW(frame, w ? w : L"");
      std::free(w);
      return true;
    }
    case ID("MENU"):
      set_bar(frame, CHILD_MENUBAR, PANE_WORD_MENUBAR, value);
      return true;
    case ID("MENUC"):
      set_bar(frame, CHILD_MENUBAR_C, PANE_WORD_MENUBAR, value);
      return true;
    case ID("BUTTON"):
      set_bar(frame, CHILD_BUTTONS, PANE_WORD_BUTTON_ROW, value);
      return true;
    case ID("BTN2"):
      set_bar(frame, CHILD_BUTTONS2, PANE_WORD_BUTTON_ROW, value);
      return true;
    case ID("BTN3"):
      set_bar(frame, CHILD_BUTTONS3, PANE_WORD_BUTTON_ROW, value);
      return true;
  }
  return false;
}

bool frame_set(HWND frame, PackedId property, FrameHook hook) {
  Frame* f = frame_of(frame);
  if (!f) return false;
  // A plain null lands here: for the bars it removes them.
  if (property != ID("HOOK")) return !hook && frame_set(frame, property, TextArg(nullptr));
  f->hook = hook;
  return true;
}

bool frame_standard_hook(HWND frame, UINT message, WPARAM wparam, LPARAM, LRESULT* result) {
  if (message != UI_MSG_COMMAND || is_window_command((PackedId)wparam)) return false;
  frame_command(frame, (PackedId)wparam);
  *result = 0;
  return true;
}

void frame_command(HWND frame, PackedId command) {
  Frame* f = frame_of(frame);
  if (!f || !command || (f->mode & FRAME_MODELESS)) return;
  // The ENTER key command of a key table answers as the Enter key does.
  if (command == ID("ENTER") && (f->mode & FRAME_DIALOG)) command = ID("OK");
  int i = stack_index(frame);
  if (i < 0) return;
  if (i != g_depth - 1) {
    notice("ダイアログは、最後に開いた順から閉じてください");
    return;
  }
  g_stack[i].result = command;
}

void pane_layout(HWND container) {
  wchar_t name[16];
  if (!container || !GetClassNameW(container, name, 16)) return;
  if (wcscmp(name, UI_CLASS_CONTAINER) == 0) layout_container(container);
  if (wcscmp(name, UI_CLASS_FRAME) == 0) layout_frame(container);
}

// ---- dialogs ----

void dialog_show(HWND frame) {
  Frame* f = frame_of(frame);
  if (!f) return;
  int dpi = ui_dpi(frame);
  SIZE outer = frame_outer_size(frame);
  int w = outer.cx, h = outer.cy;
  // Centred over a visible owner, else over the work area of the active window's monitor; AUTO
  // puts it below the caret of the focused view.
  HWND owner = GetWindow(frame, GW_OWNER);
  HWND active = GetActiveWindow();
  HMONITOR mon = MonitorFromWindow(owner ? owner : active, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO mi{sizeof mi, {}, {}, 0};
  GetMonitorInfoW(mon, &mi);
  RECT area = mi.rcWork;
  RECT over = area;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
  int x = over.left + (over.right - over.left - w) / 2,
      y = over.top + (over.bottom - over.top - h) / 2;
  POINT caret;
  HWND focus = GetFocus();
  if ((f->mode & FRAME_AUTO) && focus && GetCaretPos(&caret)) {
    ClientToScreen(focus, &caret);
    x = caret.x - w / 4;
    y = caret.y + ui_font(dpi)->height * 2;
  }
  if (x + w > area.right) x = area.right - w;
  if (y + h > area.bottom) y = area.bottom - h;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(frame, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  layout_frame(frame);
  ShowWindow(frame, SW_SHOW);
  SetForegroundWindow(frame);
  HWND first = next_pane(frame, nullptr, false);
  if (first)
    SetFocus(first);
  else
    SetFocus(frame);
}

PackedId dialog_run(HWND frame) {
  Frame* f = frame_of(frame);
  if (!f || stack_index(frame) >= 0) return 0;
  int limit = g_notice_open ? STACK_MAX + 1 : STACK_MAX;
  if (g_depth >= limit) {
    if (!g_notice_open) notice("これ以上ダイアログを開けません");
    return ID("CANCEL");
  }
  int me = g_depth++;
  g_stack[me] = LoopEntry{frame, 0};
  f->mode |= FRAME_IN_LOOP;
  MSG msg;
  while (!g_stack[me].result) {
    int got = ui_pump_message(&msg);  // the host's pump: its key and IME rules apply
    if (got <= 0) {
      // The quit message belongs to the outer loop.
      if (got == 0) PostQuitMessage((int)msg.wParam);
      g_stack[me].result = ID("CANCEL");
      break;
    }
  }
  PackedId r = g_stack[me].result;
  g_stack[me] = LoopEntry{};
  g_depth = me;
  if (IsWindow(frame) && (f = frame_of(frame)) != nullptr) f->mode &= ~FRAME_IN_LOOP;
  return r;
}

int dialog_depth() {
  return g_depth;
}

static void apply_children(HWND parent) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    SendMessageW(c, UI_MSG_COMMAND, PANE_APPLY, 0);
}

void dialog_apply(HWND frame) {
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (tabs) {
    for (int n = 0; tab_page(tabs, n); ++n) apply_children(tab_page(tabs, n));
    return;
  }
  HWND c = GetDlgItem(frame, CHILD_CONTAINER);
  if (c) apply_children(c);
}

bool dialog_ok(HWND frame) {
  if (!frame_of(frame)) return false;
  dialog_show(frame);
  for (;;) {
    PackedId r = dialog_run(frame);
    if (r == ID("OK")) {
      dialog_apply(frame);
      return true;
    }
    if (r == ID("CANCEL") || !r || !IsWindow(frame)) return false;
  }
}

void dialog_close(HWND frame) {
  if (!frame_of(frame)) return;
  if (g_owner) {
    PostMessageW(frame, UI_MSG_DESTROY_FRAME, 0, 0);
    return;
  }
  HWND owner = GetWindow(frame, GW_OWNER);
  DestroyWindow(frame);
  if (owner) UpdateWindow(owner);
}

bool input_box(TextArg title, TextArg label, Text* text) {
  if (!text) return false;
  HWND f = dialog_new();
  if (!f) return false;
  frame_set(f, ID("TITLE"), title);
  frame_set_mode(f, FRAME_AUTO, FRAME_CENTER);
  HWND c = dialog_client(f);
  Text* before = text_new();
  text_put_text(before, text_cstr(text));
  pane_button_column(c);
  Text* d = text_new();
  // The label's cell, and of that only its first line: more lines would become item lines.
  int64_t n = 0;
  const char* s = text_cell(label, &n);
  int64_t k = 0;
  while (k < n && s[k] != '\r' && s[k] != '\n') ++k;
  text_puts(d, "1\t");
  text_write(d, s, k);
  text_puts(d, "(&N):\n");
  HWND lab = pane_create(d, c, PANE_VISIBLE | PANE_KIND_ITEMS, CHILD_INPUT_LABEL, 0);
  pane_set(lab, PANE_PLACE, ID("TOP"));
  text_free(d);
  HWND field = pane_create(text, c, PANE_VISIBLE | PANE_BORDER | PANE_TABSTOP | PANE_KIND_INPUT,
                           CHILD_INPUT_FIELD, 0);
  pane_set(field, PANE_PLACE, ID("TOP"));
  const UiFont* font = ui_font(96);
  SIZE pref = pane_preferred(field, 0);
  int chars = MulDiv(pref.cx, 96, ui_dpi(field));
  if (chars > 20 * font->avg) pane_set(field, PANE_CXAL, chars + 3 * font->avg);
  // As dialog_ok, but the typing starts in the field.
  dialog_show(f);
  SetFocus(field);
  PackedId r;
  while ((r = dialog_run(f)) != ID("OK") && r != ID("CANCEL") && r) continue;
  bool ok = r == ID("OK");
  if (ok) dialog_apply(f);
  if (!ok) {
    // Cancelled: the caller's text is as it was.
    text_clear(text);
    text_put_text(text, text_cstr(before));
  }
  text_free(before);
  dialog_close(f);
  return ok;
}

// ---- the keyboard handler ----

bool dialog_key(MSG* msg) {
  if (msg->message != WM_KEYDOWN && msg->message != WM_CHAR && msg->message != WM_SYSCHAR)
    return false;
  HWND root = GetAncestor(msg->hwnd, GA_ROOT);
  Frame* f = frame_of(root);
  if (!f) return false;
  Pane* p = pane_of(msg->hwnd);
  bool dialog = (f->mode & FRAME_DIALOG) != 0;
  if (msg->message == WM_KEYDOWN) {
    UINT vk = (UINT)msg->wParam;
    if (vk == VK_PROCESSKEY) {
      // A key held by the input method: Esc and Enter stay with it.
      vk = ImmGetVirtualKey(msg->hwnd);
      if (vk == VK_ESCAPE || vk == VK_RETURN || vk == VK_PROCESSKEY) return false;
    }
    if ((vk == VK_ESCAPE || vk == VK_RETURN) && p && p->kind == PK_1LINE && composing(msg->hwnd))
      return false;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (vk) {
      case VK_TAB: {
        if (GetKeyState(VK_CONTROL) < 0) return false;
        if (pane_is_items(p) && p->kind == PK_MENU && pane_move_cursor(p, shift ? -1 : 1))
          return true;
        HWND next = next_pane(root, msg->hwnd, shift);
        if (next) {
          SetFocus(next);
          pane_set(next, shift ? PANE_END : PANE_TOP, 1);
        }
        return true;
      }
      case VK_RETURN: {
        if (p) {
          PackedId k = keys_match(p->text, vk, shift, GetKeyState(VK_CONTROL) < 0);
          if (k) return false;  // the pane's own key line
          if (p->kind == PK_LIST && view_list_enter(p)) return true;
          if (pane_is_items(p) && p->cursor >= 0 && p->items[p->cursor].kind == DESC_LINE_HEADING) {
            pane_choose(p, p->cursor);
            return true;
          }
          // Enter presses the focused button, so that a box whose default is NO answers NO.
          if (pane_is_items(p) && p->cursor >= 0 && p->items[p->cursor].kind == DESC_LINE_ITEM &&
              !(p->items[p->cursor].state & (DESC_CHECKBOX | DESC_RADIO)) && dialog) {
            pane_choose(p, p->cursor);
            return true;
          }
        }
        for (int id : {CHILD_MENUBAR, CHILD_MENUBAR_C}) {
          HWND bar = GetDlgItem(root, id);
          PackedId k = bar ? keys_match(pane_text(bar), vk, shift, false) : 0;
          if (k) {
            PostMessageW(root, UI_MSG_COMMAND, k, 0);
            return true;
          }
        }
        if (!dialog) return false;
        frame_command(root, ID("OK"));
        return true;
      }
      case VK_ESCAPE:
        if (!dialog) return false;
        frame_command(root, ID("CANCEL"));
        return true;
    }
    return false;
  }
  if (msg->message == WM_CHAR || msg->message == WM_SYSCHAR) {
    int ch = (int)msg->wParam;
    if (ch <= ' ') return false;
    if (msg->message == WM_CHAR && p && (p->kind == PK_1LINE || p->kind == PK_EDIT)) return false;
    if (pane_is_items(p) && pane_accelerator(p, ch)) return true;
    AccelSearch a{msg->hwnd, ch, false};
    EnumChildWindows(root, accel_child, (LPARAM)&a);
    return a.found;
  }
  return false;
}
