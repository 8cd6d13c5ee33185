// Popup menus, context menus, the menu bar's drop-downs, named menus from the menu files and native
// menus. A popup is a "TEXTMENUBASE" window shown without taking the activation; while a chain is
// open the keys of the thread go to its deepest pane, and a click outside closes it.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "files/file.h"
#include "ui/menu_text.h"
#include "uiwin/menu.h"
#include "uiwin/runtime.h"
#include "uiwin/ui_host.h"

namespace {

enum { CHAIN_MAX = 8 };

struct Level {
  HWND window;
  HWND pane;
  HWND opener;  // the pane whose item opened this level
};
Level g_chain[CHAIN_MAX];
int g_levels;
PackedId g_result;
HWND g_report_to;  // the frame of the menu bar that opened the chain, else null
Text* g_menus;     // the menus file, read once

int level_of_pane(HWND pane) {
  for (int i = 0; i < g_levels; ++i)
    if (g_chain[i].pane == pane) return i;
  return -1;
}

// Closes the levels from `from` on, the deepest first.
void close_from(int from) {
  while (g_levels > from) {
    Level l = g_chain[--g_levels];
    g_chain[g_levels] = Level{};
    Pane* opener = pane_of(l.opener);
    if (opener) {
      opener->open_item = -1;
      InvalidateRect(opener->hwnd, nullptr, FALSE);
    }
    if (IsWindow(l.window)) DestroyWindow(l.window);
  }
  if (!g_levels) g_report_to = nullptr;
}

LRESULT CALLBACK popup_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SIZE: {
      HWND pane = GetDlgItem(window, CHILD_POPUP_PANE);
      if (pane)
        SetWindowPos(pane, nullptr, 0, 0, LOWORD(lparam), HIWORD(lparam),
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case UI_MSG_CLOSE_CHAIN:
      popup_close_all();
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void register_popup_class() {
  static bool done;
  if (done) return;
  done = true;
  ui_register_class(ui_instance(), UI_CLASS_MENU, popup_proc, CS_DROPSHADOW, 0);
}

bool is_empty(Text* t) {
  return !t || text_length(t) == 0;
}

// The menu bar's frame or the context menu's caller learns the chosen item.
void finish(PackedId id) {
  g_result = id;
  HWND report = g_report_to;
  if (g_levels) PostMessageW(g_chain[0].window, UI_MSG_CLOSE_CHAIN, 0, 0);
  if (report && id) PostMessageW(report, UI_MSG_COMMAND, id, CHILD_MENUBAR);
}

// Keeps a native menu in step with its description (desc_check, desc_enable, ...).
void native_changed(Text* desc, TextPos, PackedId id, uint32_t state) {
  HMENU menu = (HMENU)text_prop(desc, ID("_HMENU"));
  if (!menu || !IsMenu(menu)) return;
  int number = menu_command_number(id);
  CheckMenuItem(menu, (UINT)number,
                MF_BYCOMMAND | ((state & DESC_CHECKED) ? MF_CHECKED : MF_UNCHECKED));
  EnableMenuItem(menu, (UINT)number,
                 MF_BYCOMMAND | ((state & DESC_DISABLED) ? MF_GRAYED : MF_ENABLED));
}

void fill_native(HMENU menu, Text* desc) {
  for (TextPos pos = desc_next_shown(desc, -1); pos >= 0; pos = desc_next_shown(desc, pos)) {
    const char* line = text_cstr(desc) + pos;
    DescLineKind kind = desc_line_kind(line);
    if (kind == DESC_LINE_SEPARATOR) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    if (kind != DESC_LINE_ITEM && kind != DESC_LINE_HEADING) continue;
    int n = 0;
    const char* cap = desc_caption(line, &n);
    wchar_t* w = ui_wide(cap, n);
    if (kind == DESC_LINE_HEADING) {
      Text* sub = desc_submenu(desc, pos, false);
      HMENU child = CreatePopupMenu();
      if (sub && child) fill_native(child, sub);
      text_free(sub);
      AppendMenuW(menu, MF_POPUP | MF_STRING, (UINT_PTR)child, w ? w : L"");
    } else {
      uint32_t state = desc_item_state(desc, pos);
      UINT flags = MF_STRING | ((state & DESC_CHECKED) ? MF_CHECKED : 0) |
                   ((state & DESC_DISABLED) ? MF_GRAYED : 0);
      AppendMenuW(menu, flags, (UINT_PTR)menu_command_number(desc_item_id(line)), w ? w : L"");
    }
    std::free(w);
  }
}

}  // namespace

// ---- the chain ----

HWND popup_root() {
  return g_levels ? g_chain[0].window : nullptr;
}

HWND menu_open_popup() {
  return popup_root();
}

PackedId menu_result() {
  return g_result;
}

bool popup_contains(HWND window) {
  for (int i = 0; i < g_levels; ++i)
    if (window == g_chain[i].window || IsChild(g_chain[i].window, window)) return true;
  return false;
}

void popup_close_all() {
  close_from(0);
}

void popup_chosen(Pane* p, PackedId id) {
  int level = level_of_pane(p->hwnd);
  if (id == (PackedId)-1) {
    // Back to the menu that opened this one.
    if (level >= 0) close_from(level);
    return;
  }
  if (id == 0) {
    // Esc closes the deepest level; at the first one the chain is dismissed.
    if (level > 0) {
      close_from(level);
    } else {
      g_result = 0;
      close_from(0);
    }
    return;
  }
  finish(id);
}

bool popup_open_sub(Pane* p, int index) {
  Item& it = p->items[index];
  RECT rc = it.rc;
  MapWindowPoints(p->hwnd, nullptr, (POINT*)&rc, 2);
  Text* sub = desc_submenu(p->text, it.line, false);
  if (!sub) return false;
  unsigned flags = 0;
  if (p->kind == PK_MENUBAR) {
    close_from(0);
    g_report_to = pane_frame(p->hwnd);
  } else {
    int level = level_of_pane(p->hwnd);
    if (level < 0) {
      // A heading in a dialog pane: its submenu reports to the pane's frame.
      close_from(0);
      g_report_to = pane_frame(p->hwnd);
    } else {
      close_from(level + 1);
    }
    flags |= MENU_BESIDE;
  }
  HWND w = menu_popup(p->hwnd, &rc, 0, flags, sub, pane_frame(p->hwnd));
  text_free(sub);
  if (w) {
    p->open_item = index;
    InvalidateRect(p->hwnd, nullptr, FALSE);
  }
  return w != nullptr;
}

HWND menu_popup(HWND owner_pane, const RECT* rect, int first, unsigned flags, Text* description,
                HWND owner_window) {
  if (is_empty(description) || !rect) return nullptr;
  // One chain: a request must come from a pane of the open chain.
  if (g_levels && level_of_pane(owner_pane) < 0) return nullptr;
  if (g_levels >= CHAIN_MAX) return nullptr;
  ui_init(ui_instance());
  register_popup_class();
  text_set_prop(description, ID("_FIXHED"), 1);
  TextPos cursor = text_tell(description);
  DWORD style = WS_POPUP | WS_CLIPCHILDREN | (ui_themed() ? WS_BORDER : WS_DLGFRAME);
  HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, UI_CLASS_MENU, L"",
                           style, rect->left, rect->bottom, 10, 10, owner_window, nullptr,
                           ui_instance(), nullptr);
  if (!w) return nullptr;
  Pane* owner = pane_of(owner_pane);
  unsigned kind = (flags & MENU_LIST) ? PANE_KIND_LIST : PANE_KIND_POPUP;
  if (owner && owner->in_popup) kind = (unsigned)owner->kind_byte;
  HWND pane = pane_create(description, w, PANE_VISIBLE | kind, CHILD_POPUP_PANE, first);
  Pane* p = pane_of(pane);
  if (!p) {
    DestroyWindow(w);
    return nullptr;
  }
  p->in_popup = true;
  p->parent_pane = owner_pane;
  pane_refresh(pane);
  pane_set(pane, PANE_TOP, 1);
  for (int i = 0; i < p->count && first > 0; ++i)
    if (i == first) pane_set(pane, PANE_CURSOR, i);
  SIZE s = pane_preferred(pane, 0);
  if (flags & MENU_LIST) {
    int least = rect->right - rect->left;
    if (s.cx < least) s.cx = least;
  }
  RECT r{0, 0, s.cx, s.cy};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  int ww = r.right - r.left, wh = r.bottom - r.top;
  int x = (flags & MENU_BESIDE) ? rect->right : rect->left;
  int y = (flags & MENU_BESIDE) ? rect->top + r.top : rect->bottom;
  MONITORINFO mi{sizeof mi, {}, {}, 0};
  GetMonitorInfoW(MonitorFromRect(rect, MONITOR_DEFAULTTONEAREST), &mi);
  RECT area = mi.rcWork;
  if (x + ww > area.right) x = (flags & MENU_BESIDE) ? rect->left - ww : area.right - ww;
  if (y + wh > area.bottom) y = (flags & MENU_BESIDE) ? area.bottom - wh : rect->top - wh;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(w, HWND_TOPMOST, x, y, ww, wh, SWP_NOACTIVATE);
  g_chain[g_levels++] = Level{w, pane, owner_pane};
  ShowWindow(w, SW_SHOWNOACTIVATE);
  text_seek(description, cursor);
  UpdateWindow(w);
  return w;
}

intptr_t menu_track(Text* description, unsigned flags, HWND window) {
  if (g_levels || is_empty(description)) return 0;
  POINT at;
  GetCursorPos(&at);
  HWND focus = GetFocus();
  if ((flags & (MENU_LEAVE | MENU_CARET)) && focus) {
    RECT fr;
    GetClientRect(focus, &fr);
    POINT caret;
    int line = ui_font(ui_dpi(focus))->height;
    if (fr.bottom <= 4 * line) {
      // A short view: the bottom-left corner of its window.
      at = POINT{0, fr.bottom};
      ClientToScreen(focus, &at);
    } else if (GetCaretPos(&caret)) {
      at = POINT{caret.x, caret.y + line};
      ClientToScreen(focus, &at);
    }
  }
  g_result = 0;
  g_report_to = nullptr;
  RECT r{at.x, at.y, at.x, at.y};
  HWND owner = window ? GetAncestor(window, GA_ROOT) : nullptr;
  HWND w = menu_popup(nullptr, &r, 0, 0, description, owner);
  if (!w) return 0;
  // A mouse pointer that the editor hid while typing is shown again.
  int shown = ShowCursor(TRUE);
  while (shown < 0) shown = ShowCursor(TRUE);
  if (shown > 0) ShowCursor(FALSE);
  if (flags & MENU_LEAVE) return (intptr_t)w;
  MSG msg;
  while (g_levels) {
    int got = ui_pump_message(&msg);  // the host's pump: its key and IME rules apply
    if (got <= 0) {
      if (got == 0) PostQuitMessage((int)msg.wParam);
      close_from(0);
      break;
    }
  }
  return (intptr_t)g_result;
}

bool popup_key(MSG* msg) {
  if (!g_levels) return false;
  UINT m = msg->message;
  if (m != WM_KEYDOWN && m != WM_CHAR && m != WM_SYSKEYDOWN && m != WM_SYSCHAR && m != WM_KEYUP &&
      m != WM_SYSKEYUP)
    return false;
  HWND pane = g_chain[g_levels - 1].pane;
  if (m == WM_KEYUP || m == WM_SYSKEYUP) return true;
  if (m == WM_SYSKEYDOWN && msg->wParam == VK_MENU) {
    close_from(0);
    return true;
  }
  if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
    Pane* p = pane_of(pane);
    UINT vk = (UINT)msg->wParam;
    // Left and Right on the first level of a menu bar's chain go to the next heading of the bar.
    Pane* bar = g_levels == 1 ? pane_of(g_chain[0].opener) : nullptr;
    bool sub = p && p->cursor >= 0 && p->items[p->cursor].kind == DESC_LINE_HEADING;
    if (bar && bar->kind == PK_MENUBAR && (vk == VK_LEFT || (vk == VK_RIGHT && !sub))) {
      int from = bar->open_item;
      close_from(0);
      bar->cursor = from;
      for (int step = 0; step < bar->count; ++step) {
        if (!pane_move_cursor(bar, vk == VK_RIGHT ? 1 : -1))
          pane_set_cursor(bar, vk == VK_RIGHT ? -1 : bar->count),
              pane_move_cursor(bar, vk == VK_RIGHT ? 1 : -1);
        if (bar->cursor >= 0 && bar->items[bar->cursor].kind == DESC_LINE_HEADING) break;
      }
      if (bar->cursor >= 0) pane_choose(bar, bar->cursor);
      return true;
    }
    SendMessageW(pane, WM_KEYDOWN, vk, msg->lParam);
    TranslateMessage(msg);
    return true;
  }
  // Characters choose by accelerator; anything else is swallowed while the menu is open.
  Pane* p = pane_of(pane);
  if (p && (int)msg->wParam > ' ') pane_accelerator(p, (int)msg->wParam);
  return true;
}

bool popup_click_outside(const MSG* msg) {
  if (!g_levels) return false;
  switch (msg->message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      break;
    default:
      return false;
  }
  if (popup_contains(msg->hwnd)) return false;
  // A click on the heading that opened the chain is the bar's own (it toggles the menu).
  if (g_chain[0].opener && msg->hwnd == g_chain[0].opener) return false;
  g_result = 0;
  close_from(0);
  return false;
}

// ---- named menus and native menus ----

Text* menu_load(PackedId kind, PackedId name) {
  if (kind == 0) {
    if (!g_menus) {
      g_menus = text_new();
      if (!g_menus) return text_new();
      if (!text_load(g_menus, "zq://menus.mnu", TL_READ_ONLY_CONTENTS) ||
          text_length(g_menus) == 0) {
        text_clear(g_menus);
        text_put_text(g_menus, menu_builtin_text());
      }
    }
    Text* t = menu_extract(g_menus, name, false);
    return t ? t : text_new();
  }
  if (kind == ID("BOARD")) {
    Text* file = text_new();
    if (!file) return text_new();
    if (!text_load(file, "zq://board.mnu", TL_READ_ONLY_CONTENTS)) text_clear(file);
    Text* t = menu_extract(file, name, name == ID("MENU"));
    text_free(file);
    return t ? t : text_new();
  }
  return text_new();
}

HMENU menu_native(Text* description, bool popup) {
  if (!description) return nullptr;
  static bool hooked;
  if (!hooked) {
    hooked = true;
    desc_set_change_hook(native_changed);
  }
  HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
  if (!menu) return nullptr;
  fill_native(menu, description);
  text_set_prop(description, ID("_HMENU"), (intptr_t)menu);
  return menu;
}

void menu_shutdown() {
  close_from(0);
  text_free(g_menus);
  g_menus = nullptr;
}

// ---- key lines of a pane ----

PackedId keys_match(Text* desc, UINT vk, bool shift, bool ctrl) {
  if (!desc) return 0;
  unsigned mods = (shift ? (unsigned)MENU_KEY_SHIFT : 0u) | (ctrl ? (unsigned)MENU_KEY_CTRL : 0u);
  return menu_key_command(desc, (int)vk, mods);
}
