// Frames ("DuroDA64"): their bars, their container or tabbed container, their size from their
// panes, and the set-up of the runtime. The container's layout is in layout_win32.cpp, the tabbed
// container in tabs_win32.cpp, the modal loop in dialog_win32.cpp.
//
// A command reaches a frame as UI_MSG_COMMAND. The frame's hook sees it first; the standard hook of
// dialogs keeps window commands for the frame and makes every other command the dialog's result
// (frame_command).

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ui/notify.h"
#include "uiwin/msgbox.h"
#include "uiwin/runtime.h"
#include "uiwin/ui_host.h"

namespace {

HINSTANCE g_instance;
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

HWND bar_of(HWND frame, int id) {
  return GetDlgItem(frame, id);
}

int bar_height(HWND frame, int id) {
  HWND bar = bar_of(frame, id);
  return bar && (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) ? pane_preferred(bar, 0).cy : 0;
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
    s.cy += tabs_strip_height(tabs);
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

void free_frame(HWND window, Frame* f) {
  dialog_frame_gone(window);
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
      if (dialog_in_loop(window)) {
        frame_command(window, ID("CANCEL"));
        return 0;
      }
      DestroyWindow(window);
      return 0;
    case UI_MSG_DESTROY_FRAME:
      DestroyWindow(window);
      return 0;
    case WM_SIZE:
      frame_layout(window);
      return 0;
    case WM_ERASEBKGND:
      return ui_erase_face(window, (HDC)wparam);
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
  ui_register_class(g_instance, UI_CLASS_CONTAINER, container_window_proc, 0, 0);
  ui_register_class(g_instance, UI_CLASS_TABS, tabs_window_proc, 0, 0);
  notify_set_sink(ui_notify_sink);
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
  if (tabs) return tabs_page(tabs, f->page);
  HWND c = GetDlgItem(frame, CHILD_CONTAINER);
  if (c) return c;
  RECT rc;
  GetClientRect(frame, &rc);
  return CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_CONTAINER, L"",
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0, 0, rc.right,
                         rc.bottom, frame, (HMENU)(intptr_t)CHILD_CONTAINER, g_instance, nullptr);
}

static HWND set_bar(HWND frame, int id, unsigned style, TextArg value) {
  HWND bar = GetDlgItem(frame, id);
  if (!value.p) {
    if (bar) DestroyWindow(bar);
    frame_layout(frame);
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
  frame_layout(frame);
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

void pane_layout(HWND container) {
  wchar_t name[16];
  if (!container || !GetClassNameW(container, name, 16)) return;
  if (wcscmp(name, UI_CLASS_CONTAINER) == 0) container_layout(container);
  if (wcscmp(name, UI_CLASS_FRAME) == 0) frame_layout(container);
}

void frame_layout(HWND frame) {
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
