// Panes: the "TXVIEW" window of the runtime. One procedure serves every pane kind; the item panes
// (button rows and columns, check-box lists, label columns, menu bars and popup menus) live here,
// the one-line input in edit_win32.cpp and the text view and list in view_win32.cpp.
//
// An item pane keeps no state of its own beyond the cursor: the description is the model, so every
// change goes through ui/desc.h and the items are read from the Text again afterwards.

#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "uiwin/runtime.h"

namespace {

constexpr UINT_PTR TIMER_TIP = 7;

enum ItemLook { LOOK_BUTTON, LOOK_CHECK, LOOK_LABEL, LOOK_MENU, LOOK_BAR, LOOK_SEPARATOR };

bool is_menu_like(const Pane* p) {
  return p->in_popup || p->kind == PK_MENUBAR;
}

bool horizontal(const Pane* p) {
  return p->kind == PK_MENUH || p->kind == PK_MENUBAR;
}

ItemLook look_of(const Pane* p, const Item& it) {
  if (it.kind == DESC_LINE_SEPARATOR) return LOOK_SEPARATOR;
  if (p->kind == PK_MENUBAR) return LOOK_BAR;
  if (p->in_popup) return LOOK_MENU;
  if (it.kind == DESC_LINE_NUMBERED || it.kind == DESC_LINE_HEADING) return LOOK_LABEL;
  if (it.state & (DESC_CHECKBOX | DESC_RADIO)) return LOOK_CHECK;
  return LOOK_BUTTON;
}

bool selectable(const Item& it) {
  return (it.kind == DESC_LINE_ITEM || it.kind == DESC_LINE_NUMBERED ||
          it.kind == DESC_LINE_HEADING) &&
         !(it.state & DESC_DISABLED);
}

const char* line_at(Pane* p, TextPos pos) {
  return text_cstr(p->text) + pos;
}

void free_items(Pane* p) {
  for (int i = 0; i < p->count; ++i) std::free(p->items[i].caption);
  std::free(p->items);
  p->items = nullptr;
  p->count = 0;
}

struct Metrics {
  int s1, pad, button_h, button_w, check, row, menu_row, gutter, sep, gap;
  const UiFont* font;
};

Metrics metrics(const Pane* p) {
  Metrics m;
  int dpi = pane_dpi(p);
  m.font = ui_font(dpi);
  m.s1 = MulDiv(1, dpi, 96);
  m.pad = MulDiv(4, dpi, 96);
  m.button_h = MulDiv(23, dpi, 96);
  if (m.button_h < m.font->height + 2 * m.pad) m.button_h = m.font->height + 2 * m.pad;
  m.button_w = MulDiv(75, dpi, 96);
  m.check = MulDiv(13, dpi, 96);
  m.row = m.font->height + MulDiv(6, dpi, 96);
  m.menu_row = m.font->height + MulDiv(8, dpi, 96);
  m.gutter = MulDiv(28, dpi, 96);
  m.sep = MulDiv(7, dpi, 96);
  m.gap = MulDiv(6, dpi, 96);
  return m;
}

// Lays the items out from the top left; returns the size they need. Button rows are aligned
// right within `width` when it is wider.
SIZE layout_items(Pane* p, int width) {
  Metrics m = metrics(p);
  HDC dc = GetDC(p->hwnd);
  HGDIOBJ old = SelectObject(dc, m.font->font);
  bool across = horizontal(p);
  bool buttons_only = true;
  int widest_button = m.button_w;
  for (int i = 0; i < p->count; ++i) {
    Item& it = p->items[i];
    ItemLook look = look_of(p, it);
    SIZE c = ui_caption_size(dc, it.caption);
    int w = 0, h = 0;
    switch (look) {
      case LOOK_BUTTON:
        w = c.cx + 2 * MulDiv(10, pane_dpi(p), 96);
        if (w < m.button_w) w = m.button_w;
        if (w > widest_button) widest_button = w;
        h = m.button_h;
        break;
      case LOOK_CHECK:
        w = m.check + m.pad + m.s1 + c.cx + 2 * m.pad;
        h = m.row;
        buttons_only = false;
        break;
      case LOOK_LABEL:
        w = c.cx + m.pad;
        h = m.row;
        buttons_only = false;
        break;
      case LOOK_MENU:
        w = m.gutter + c.cx + 3 * m.gutter / 2;
        h = m.menu_row;
        break;
      case LOOK_BAR:
        w = c.cx + 2 * MulDiv(8, pane_dpi(p), 96);
        h = m.menu_row;
        break;
      case LOOK_SEPARATOR:
        w = across ? (it.wide_gap ? m.gap : m.gap / 2) : 0;
        h = across ? 0 : (is_menu_like(p) ? m.sep : m.gap);
        break;
    }
    it.rc = RECT{0, 0, w, h};
  }
  // Buttons of a column take the width of the widest one.
  if (!across)
    for (int i = 0; i < p->count; ++i)
      if (look_of(p, p->items[i]) == LOOK_BUTTON) p->items[i].rc.right = widest_button;
  SIZE total{0, 0};
  int x = 0, y = 0;
  for (int i = 0; i < p->count; ++i) {
    Item& it = p->items[i];
    int w = it.rc.right, h = it.rc.bottom;
    if (across) {
      // Neighbouring buttons never touch.
      if (i > 0 && look_of(p, it) == LOOK_BUTTON && look_of(p, p->items[i - 1]) == LOOK_BUTTON)
        x += m.gap;
      it.rc = RECT{x, 0, x + w, h};
      x += w;
      if (h > total.cy) total.cy = h;
    } else {
      if (i > 0 && look_of(p, it) == LOOK_BUTTON && look_of(p, p->items[i - 1]) == LOOK_BUTTON)
        y += m.pad;
      it.rc = RECT{0, y, w, y + h};
      y += h;
      if (w > total.cx) total.cx = w;
    }
  }
  if (across) {
    total.cx = x;
    for (int i = 0; i < p->count; ++i) p->items[i].rc.bottom = p->items[i].rc.top + total.cy;
    if (buttons_only && p->kind == PK_MENUH && width > total.cx)
      for (int i = 0; i < p->count; ++i) OffsetRect(&p->items[i].rc, width - total.cx, 0);
  } else {
    total.cy = y;
    int full = width > total.cx ? width : total.cx;
    for (int i = 0; i < p->count; ++i)
      if (look_of(p, p->items[i]) != LOOK_BUTTON) p->items[i].rc.right = full;
  }
  if (is_menu_like(p) && p->in_popup) {
    total.cy += 2 * m.s1;
    for (int i = 0; i < p->count; ++i) OffsetRect(&p->items[i].rc, 0, m.s1);
  }
  SelectObject(dc, old);
  ReleaseDC(p->hwnd, dc);
  return total;
}

void paint_items(Pane* p, HDC dc) {
  RECT client;
  GetClientRect(p->hwnd, &client);
  Metrics m = metrics(p);
  bool menu = is_menu_like(p);
  COLORREF back =
      menu ? ui_color(p->in_popup ? COLOR_MENU : COLOR_MENUBAR) : ui_color(COLOR_BTNFACE);
  ui_fill(dc, client, back);
  HGDIOBJ old = SelectObject(dc, m.font->font);
  bool focused = GetFocus() == p->hwnd;
  for (int i = 0; i < p->count; ++i) {
    Item& it = p->items[i];
    RECT rc = it.rc;
    bool disabled = (it.state & DESC_DISABLED) || !p->enabled;
    COLORREF ink = disabled ? ui_color(COLOR_GRAYTEXT) : ui_color(COLOR_BTNTEXT);
    switch (look_of(p, it)) {
      case LOOK_SEPARATOR:
        if (menu && !horizontal(p)) {
          RECT line{rc.left + m.gutter, (rc.top + rc.bottom) / 2, rc.right - m.pad,
                    (rc.top + rc.bottom) / 2 + m.s1};
          ui_fill(dc, line, ui_color(COLOR_3DSHADOW));
        }
        break;
      case LOOK_BUTTON: {
        int flags = 0;
        if (disabled) flags |= BTN_DISABLED;
        if (i == p->pressed && i == p->hot) flags |= BTN_PRESSED;
        if (i == p->hot) flags |= BTN_HOT;
        if (it.state & DESC_DEFAULT) flags |= BTN_DEFAULT;
        if (focused && i == p->cursor) flags |= BTN_FOCUS;
        ui_draw_button(p->hwnd, dc, rc, flags);
        ui_draw_caption(dc, it.caption, rc, DT_CENTER, ink);
        if (focused && i == p->cursor) {
          RECT f = rc;
          InflateRect(&f, -3 * m.s1, -3 * m.s1);
          ui_draw_focus(p->hwnd, dc, f);
        }
        break;
      }
      case LOOK_CHECK: {
        int flags = disabled ? BTN_DISABLED : 0;
        if (it.state & DESC_CHECKED) flags |= BTN_CHECKED;
        if (i == p->hot) flags |= BTN_HOT;
        if (i == p->pressed && i == p->hot) flags |= BTN_PRESSED;
        int top = rc.top + (rc.bottom - rc.top - m.check) / 2;
        RECT box{rc.left + m.s1, top, rc.left + m.s1 + m.check, top + m.check};
        ui_draw_check(p->hwnd, dc, box, flags, (it.state & DESC_RADIO) != 0);
        RECT text{box.right + m.pad, rc.top, rc.right, rc.bottom};
        ui_draw_caption(dc, it.caption, text, DT_LEFT, ink);
        if (focused && i == p->cursor) {
          SIZE c = ui_caption_size(dc, it.caption);
          RECT f{text.left - m.s1 * 2, text.top + m.s1, text.left + c.cx + 2 * m.s1,
                 text.bottom - m.s1};
          ui_draw_focus(p->hwnd, dc, f);
        }
        break;
      }
      case LOOK_LABEL:
        ui_draw_caption(dc, it.caption, rc, DT_LEFT, ink);
        break;
      case LOOK_MENU:
      case LOOK_BAR: {
        // In a popup the mouse moves the cursor, so the cursor alone is lit.
        bool lit = (i == p->cursor && (p->in_popup || focused)) || i == p->open_item;
        if (p->kind == PK_MENUBAR)
          lit = i == p->hot || i == p->open_item || (focused && i == p->cursor);
        if (lit && !disabled) {
          ui_fill(dc, rc, ui_color(COLOR_HIGHLIGHT));
          ink = ui_color(COLOR_HIGHLIGHTTEXT);
        }
        RECT text = rc;
        if (look_of(p, it) == LOOK_MENU) {
          text.left += m.gutter;
          if (it.state & (DESC_CHECKBOX | DESC_RADIO)) {
            RECT box{rc.left + (m.gutter - m.check) / 2,
                     rc.top + (rc.bottom - rc.top - m.check) / 2, 0, 0};
            box.right = box.left + m.check;
            box.bottom = box.top + m.check;
            SetTextColor(dc, ink);
            ui_draw_check(p->hwnd, dc, box,
                          BTN_MARK_ONLY | ((it.state & DESC_CHECKED) ? BTN_CHECKED : 0),
                          (it.state & DESC_RADIO) != 0);
          }
          if (it.kind == DESC_LINE_HEADING) {
            // The submenu arrow: a small filled triangle.
            int h = m.check / 2, cx = rc.right - m.gutter / 2, cy = (rc.top + rc.bottom) / 2;
            POINT tri[3] = {{cx - h / 2, cy - h}, {cx + h / 2, cy}, {cx - h / 2, cy + h}};
            HBRUSH b = CreateSolidBrush(ink);
            HGDIOBJ ob = SelectObject(dc, b);
            HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
            Polygon(dc, tri, 3);
            SelectObject(dc, op);
            SelectObject(dc, ob);
            DeleteObject(b);
          }
        }
        ui_draw_caption(dc, it.caption, text, look_of(p, it) == LOOK_BAR ? DT_CENTER : DT_LEFT,
                        ink);
        break;
      }
    }
  }
  SelectObject(dc, old);
  if (p->in_popup) {
    RECT border = client;
    ui_draw_border(p->hwnd, dc, border, false);
  }
}

int item_at(Pane* p, int x, int y) {
  POINT pt{x, y};
  for (int i = 0; i < p->count; ++i)
    if (p->items[i].kind != DESC_LINE_SEPARATOR && PtInRect(&p->items[i].rc, pt)) return i;
  return -1;
}

int first_selectable(Pane* p, int from, int step) {
  for (int i = from; i >= 0 && i < p->count; i += step)
    if (selectable(p->items[i])) return i;
  return -1;
}

void set_hot(Pane* p, int index) {
  if (index == p->hot) return;
  p->hot = index;
  InvalidateRect(p->hwnd, nullptr, FALSE);
  if (index >= 0) {
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, p->hwnd, 0};
    TrackMouseEvent(&tme);
    SetTimer(p->hwnd, TIMER_TIP, 600, nullptr);
  } else {
    KillTimer(p->hwnd, TIMER_TIP);
    tip_hide();
  }
}

void show_tip(Pane* p) {
  KillTimer(p->hwnd, TIMER_TIP);
  if (p->hot < 0 || p->hot >= p->count) return;
  int n = 0;
  const char* help = desc_help(line_at(p, p->items[p->hot].line), &n);
  if (n <= 0) return;
  RECT rc = p->items[p->hot].rc;
  MapWindowPoints(p->hwnd, nullptr, (POINT*)&rc, 2);
  tip_show(p->hwnd, &rc, help, n);
}

// ---- keys ----

bool item_key(Pane* p, UINT vk) {
  bool across = horizontal(p);
  bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  PackedId key = keys_match(p->text, vk, shift, ctrl);
  if (key) {
    if (p->in_popup && key == ID("ENTER") && p->cursor >= 0) {
      pane_choose(p, p->cursor);
    } else if (p->in_popup && key == ID("ESC")) {
      popup_chosen(p, 0);
    } else {
      pane_report(p, key);
    }
    return true;
  }
  switch (vk) {
    case VK_UP:
    case VK_DOWN:
      if (across && p->kind == PK_MENUBAR && vk == VK_DOWN && p->cursor >= 0) {
        pane_choose(p, p->cursor);
        return true;
      }
      if (across) return false;
      if (!pane_move_cursor(p, vk == VK_DOWN ? 1 : -1) && p->in_popup) {
        // A menu wraps around.
        pane_set_cursor(
            p, first_selectable(p, vk == VK_DOWN ? 0 : p->count - 1, vk == VK_DOWN ? 1 : -1));
      }
      return true;
    case VK_LEFT:
    case VK_RIGHT:
      if (across) {
        pane_move_cursor(p, vk == VK_RIGHT ? 1 : -1);
        return true;
      }
      if (p->in_popup) {
        if (vk == VK_RIGHT && p->cursor >= 0 && p->items[p->cursor].kind == DESC_LINE_HEADING)
          pane_choose(p, p->cursor);
        else if (vk == VK_LEFT && p->parent_pane && pane_of(p->parent_pane) &&
                 pane_of(p->parent_pane)->in_popup)
          popup_chosen(p, (PackedId)-1);
        return true;
      }
      return false;
    case VK_HOME:
    case VK_END:
      pane_set_cursor(
          p, vk == VK_HOME ? first_selectable(p, 0, 1) : first_selectable(p, p->count - 1, -1));
      return true;
    case VK_SPACE:
      if (p->cursor >= 0 && !p->in_popup) pane_choose(p, p->cursor);
      return true;
    case VK_RETURN:
      if (p->in_popup && p->cursor >= 0) {
        pane_choose(p, p->cursor);
        return true;
      }
      return false;
    case VK_ESCAPE:
      if (p->in_popup) {
        popup_chosen(p, 0);
        return true;
      }
      return false;
  }
  return false;
}

// ---- the procedure ----

Pane* create_pane(HWND window, const CREATESTRUCTW* cs) {
  Pane* p = (Pane*)std::calloc(1, sizeof(Pane));
  if (!p) return nullptr;
  p->hwnd = window;
  p->style = (unsigned)cs->style | ((unsigned)(uintptr_t)cs->lpCreateParams);
  p->kind_byte = (int)(p->style & PANE_KIND_MASK);
  p->kind = pane_kind_of(p->style);
  p->enabled = true;
  p->cursor = p->hot = p->pressed = p->open_item = -1;
  // The window name: the decimal Text handle and an optional ",number" (at most 40 characters).
  char name[41] = {};
  for (int i = 0; i < 40 && cs->lpszName && cs->lpszName[i]; ++i) name[i] = (char)cs->lpszName[i];
  char* comma = std::strchr(name, ',');
  if (comma) {
    p->extra = (intptr_t)std::strtoll(comma + 1, nullptr, 10);
    *comma = 0;
  }
  Text* t = nullptr;
  if (p->style & PANE_HAS_TEXT) {
    unsigned long long v = std::strtoull(name, nullptr, 10);
    if (v && text_is_live((const void*)(uintptr_t)v)) t = (Text*)(uintptr_t)v;
  }
  p->text = t ? text_retain(t) : text_new();
  if (p->kind == PK_SPACER) {
    static const PackedId sides[4] = {ID("TOP"), ID("BOTTOM"), ID("LEFT"), ID("RIGHT")};
    p->place = sides[(p->kind_byte - PANE_KIND_SPACER_TOP) & 3];
  }
  return p;
}

void destroy_pane(Pane* p) {
  tip_hide();
  if (p->kind == PK_1LINE) edit_destroy(p);
  if (p->kind == PK_EDIT || p->kind == PK_LIST || p->kind == PK_PROP) view_destroy(p);
  free_items(p);
  text_free(p->text);
  std::free(p);
}

LRESULT items_message(Pane* p, UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
  *handled = true;
  switch (message) {
    case WM_MOUSEMOVE: {
      int i = item_at(p, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      if (i >= 0 && !selectable(p->items[i]) && p->pressed < 0) i = -1;
      set_hot(p, i);
      if (p->in_popup && i >= 0 && i != p->cursor) {
        pane_set_cursor(p, i);
        if (p->items[i].kind == DESC_LINE_HEADING) pane_choose(p, i);
      }
      if (p->kind == PK_MENUBAR && i >= 0 && p->open_item >= 0 && i != p->open_item &&
          p->items[i].kind == DESC_LINE_HEADING)
        pane_choose(p, i);
      return 0;
    }
    case WM_MOUSELEAVE:
      if (p->pressed < 0) set_hot(p, -1);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      tip_hide();
      int i = item_at(p, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      if (i < 0 || !selectable(p->items[i]) || !p->enabled) return 0;
      if (!p->in_popup && p->kind != PK_MENUBAR &&
          (GetWindowLongW(p->hwnd, GWL_STYLE) & WS_TABSTOP))
        SetFocus(p->hwnd);
      if (p->kind == PK_MENUBAR && p->items[i].kind == DESC_LINE_HEADING) {
        if (p->open_item == i)
          popup_close_all();
        else
          pane_choose(p, i);
        return 0;
      }
      if (look_of(p, p->items[i]) == LOOK_LABEL) {
        pane_choose(p, i);
        return 0;
      }
      pane_set_cursor(p, i);
      p->pressed = i;
      p->hot = i;
      SetCapture(p->hwnd);
      InvalidateRect(p->hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      int pressed = p->pressed;
      p->pressed = -1;
      if (GetCapture() == p->hwnd) ReleaseCapture();
      int i = item_at(p, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      InvalidateRect(p->hwnd, nullptr, FALSE);
      if (i >= 0 && i == pressed) pane_choose(p, i);
      return 0;
    }
    case WM_TIMER:
      if (wparam == TIMER_TIP) {
        show_tip(p);
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (item_key(p, (UINT)wparam)) return 0;
      break;
    case WM_CHAR:
      if (wparam > ' ' && pane_accelerator(p, (int)wparam)) return 0;
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
  }
  *handled = false;
  return 0;
}

bool g_touch;

// Every gesture for a new pane; the function is looked up at first use (absent before Windows 7).
void configure_touch(HWND window) {
  struct Config {
    DWORD id, want, block;
  };
  typedef BOOL(WINAPI * SetGestureFn)(HWND, DWORD, UINT, Config*, UINT);
  static SetGestureFn set;
  static bool looked;
  if (!looked) {
    looked = true;
    set = (SetGestureFn)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetGestureConfig");
  }
  Config all{0, 1, 0};  // GID all, GC_ALLGESTURES
  if (set) set(window, 0, 1, &all, sizeof all);
}

}  // namespace

void ui_set_touch(bool on) {
  g_touch = on;
}

PaneKind pane_kind_of(unsigned word) {
  switch (word & PANE_KIND_MASK) {
    case 0x12:
    case 0x2A:
    case 0x36:
    case 0x27:
    case 0x16:
      return PK_MENU;
    case 0x14:
    case 0x21:
    case 0x24:
      return PK_MENUH;
    case 0x17:
      return PK_MENUBAR;
    case 0x01:
    case 0x13:
    case 0x1D:
    case 0x23:
    case 0x28:
    case 0x2C:
    case 0x1C:
    case 0x1E:
      return PK_1LINE;
    case 0x07:
    case 0x0D:
    case 0x2D:
    case 0x2E:
    case 0x35:
      return PK_EDIT;
    case 0x02:
    case 0x15:
    case 0x37:
      return PK_LIST;
    case 0x18:
    case 0x19:
    case 0x1A:
    case 0x1B:
      return PK_SPACER;
    case 0x1F:
      return PK_PROP;
  }
  return PK_NONE;
}

Pane* pane_of(HWND window) {
  if (!window || !ui_is_pane(window)) return nullptr;
  return (Pane*)GetWindowLongPtrW(window, 0);
}

bool pane_is_items(const Pane* p) {
  return p && (p->kind == PK_MENU || p->kind == PK_MENUH || p->kind == PK_MENUBAR);
}

int pane_dpi(const Pane* p) {
  return ui_dpi(p->hwnd);
}

HWND pane_frame(HWND window) {
  return window ? GetAncestor(window, GA_ROOT) : nullptr;
}

void pane_report(Pane* p, PackedId command) {
  HWND frame = pane_frame(p->hwnd);
  if (frame && command) PostMessageW(frame, UI_MSG_COMMAND, command, GetDlgCtrlID(p->hwnd));
}

void pane_reload(Pane* p) {
  int old_cursor_line = p->cursor >= 0 && p->cursor < p->count ? (int)p->items[p->cursor].line : -1;
  int old_cursor = p->cursor;
  free_items(p);
  const char* base = nullptr;
  int cap = 8;
  p->items = (Item*)std::calloc((size_t)cap, sizeof(Item));
  for (TextPos pos = desc_next_shown(p->text, -1); pos >= 0 && p->items;
       pos = desc_next_shown(p->text, pos)) {
    base = text_cstr(p->text);
    const char* line = base + pos;
    DescLineKind kind = desc_line_kind(line);
    if (kind == DESC_LINE_OTHER) continue;
    if (p->count == cap) {
      Item* grown = (Item*)std::realloc(p->items, sizeof(Item) * (size_t)cap * 2);
      if (!grown) break;
      p->items = grown;
      cap *= 2;
    }
    Item& it = p->items[p->count++];
    it = Item{};
    it.line = pos;
    it.kind = kind;
    it.level = kind == DESC_LINE_HEADING ? desc_heading_level(line) : 0;
    it.id = desc_item_id(line);
    it.state =
        (kind == DESC_LINE_ITEM || kind == DESC_LINE_NUMBERED) ? desc_item_state(p->text, pos) : 0;
    line = text_cstr(p->text) + pos;
    it.wide_gap =
        kind == DESC_LINE_SEPARATOR && line[1] == '-' && (line[2] == 's' || line[2] == 'S');
    int len = 0;
    const char* cap_text = kind == DESC_LINE_SEPARATOR ? "" : desc_caption(line, &len);
    it.caption = ui_wide(cap_text, len);
  }
  // Keep the cursor on the same line when it is still there.
  p->cursor = -1;
  for (int i = 0; i < p->count && old_cursor_line >= 0; ++i)
    if (p->items[i].line == old_cursor_line) p->cursor = i;
  if (p->cursor < 0 && old_cursor >= 0 && old_cursor < p->count) p->cursor = old_cursor;
  if (p->cursor >= 0 && !selectable(p->items[p->cursor])) p->cursor = -1;
  if (p->hot >= p->count) p->hot = -1;
  if (p->open_item >= p->count) p->open_item = -1;
  // The items keep their places: a pane reloaded after a click is drawn and clicked again at once.
  RECT rc;
  if (p->hwnd && GetClientRect(p->hwnd, &rc) && rc.right > 0) layout_items(p, rc.right);
}

void pane_set_cursor(Pane* p, int index) {
  if (!p || index < -1 || index >= p->count) return;
  p->cursor = index;
  InvalidateRect(p->hwnd, nullptr, FALSE);
}

bool pane_move_cursor(Pane* p, int step) {
  if (!pane_is_items(p)) return false;
  int from = p->cursor < 0 ? (step > 0 ? 0 : p->count - 1) : p->cursor + step;
  int i = first_selectable(p, from, step);
  if (i < 0) return false;
  pane_set_cursor(p, i);
  return true;
}

void pane_choose(Pane* p, int index) {
  if (!p || index < 0 || index >= p->count || !p->enabled) return;
  Item it = p->items[index];
  if (!selectable(it)) return;
  if (it.kind == DESC_LINE_HEADING) {
    pane_set_cursor(p, index);
    popup_open_sub(p, index);
    return;
  }
  pane_set_cursor(p, index);
  DescChoice c = desc_choose(p->text, it.line);
  pane_reload(p);
  InvalidateRect(p->hwnd, nullptr, FALSE);
  if (c.action == DESC_FOCUS) {
    HWND target = c.child ? GetDlgItem(GetParent(p->hwnd), c.child) : nullptr;
    if (target) SetFocus(target);
  } else if (c.action == DESC_COMMAND) {
    if (p->in_popup)
      popup_chosen(p, c.id);
    else
      pane_report(p, c.id);
  }
}

bool pane_accelerator(Pane* p, int ch) {
  if (!pane_is_items(p) || !p->enabled) return false;
  if (ch >= 'a' && ch <= 'z') ch -= 32;
  if (ch > 0x7F) return false;
  bool key_names = p->in_popup;
  int hits = 0, first = -1, after = -1;
  const char* base = text_cstr(p->text);
  for (int i = 0; i < p->count; ++i) {
    if (!selectable(p->items[i])) continue;
    if (!desc_has_accelerator(base + p->items[i].line, ch, key_names)) continue;
    ++hits;
    if (first < 0) first = i;
    if (after < 0 && i > p->cursor) after = i;
  }
  if (!hits) return false;
  if (hits == 1) {
    pane_choose(p, first);
  } else {
    pane_set_cursor(p, after >= 0 ? after : first);
  }
  return true;
}

TextPos pane_cursor_line(HWND window) {
  Pane* p = pane_of(window);
  if (!pane_is_items(p) || p->cursor < 0) return -1;
  return p->items[p->cursor].line;
}

bool pane_item_rect(HWND window, PackedId id, RECT* rect) {
  Pane* p = pane_of(window);
  if (!pane_is_items(p)) return false;
  for (int i = 0; i < p->count; ++i) {
    if (p->items[i].id == id && p->items[i].kind == DESC_LINE_ITEM) {
      if (rect) *rect = p->items[i].rc;
      return true;
    }
  }
  return false;
}

SIZE pane_preferred(HWND window, int width) {
  Pane* p = pane_of(window);
  SIZE s{0, 0};
  if (!p) return s;
  int edge = (p->style & PANE_BORDER) ? 2 * ui_scale(window, 1) : 0;
  switch (p->kind) {
    case PK_MENU:
    case PK_MENUH:
    case PK_MENUBAR:
      s = layout_items(p, width);
      break;
    case PK_1LINE:
      s = edit_preferred(p);
      break;
    case PK_EDIT:
    case PK_LIST:
    case PK_PROP:
      s = view_preferred(p, width - edge);
      break;
    case PK_SPACER: {
      int thick = ui_scale(window, (int)p->extra);
      if (p->place == ID("LEFT") || p->place == ID("RIGHT"))
        s.cx = thick;
      else
        s.cy = thick;
      return s;
    }
    case PK_NONE:
      break;
  }
  if (p->cxal) s.cx = ui_scale(window, p->cxal);
  s.cx += edge;
  s.cy += edge;
  return s;
}

void pane_refresh(HWND window) {
  Pane* p = pane_of(window);
  if (!p) return;
  if (pane_is_items(p)) {
    desc_init_states(p->text);
    pane_reload(p);
    RECT rc;
    GetClientRect(window, &rc);
    layout_items(p, rc.right);
  }
  if (p->kind == PK_EDIT || p->kind == PK_LIST || p->kind == PK_PROP) view_update(window, false);
  if (p->kind == PK_1LINE) edit_create(p);  // the input again from the Text
  InvalidateRect(window, nullptr, FALSE);
}

HWND pane_create(TextArg description, HWND parent, unsigned style, int child_id, intptr_t extra) {
  if (!parent) return nullptr;
  ui_init(ui_instance());
  Text* own = nullptr;
  Text* t = nullptr;
  if (description.p && text_is_handle(description.p)) {
    t = (Text*)description.p;
  } else {
    own = text_new();
    if (own && description.p) text_puts(own, (const char*)description.p);
    t = own;
  }
  wchar_t name[48];
  swprintf(name, 48, L"%llu,%lld", (unsigned long long)(uintptr_t)t, (long long)extra);
  // Borders are the runtime's own (scaled to the DPI); the kind stays in the low word.
  DWORD ws = WS_CHILD | WS_CLIPSIBLINGS | (style & 0xFFFF0000u & ~(DWORD)WS_BORDER) |
             PANE_HAS_TEXT | (style & 0xFFFF);
  HWND h =
      CreateWindowExW(0, UI_CLASS_VIEW, name, ws, 0, 0, 0, 0, parent, (HMENU)(intptr_t)child_id,
                      ui_instance(), (void*)(uintptr_t)(style & PANE_BORDER));
  text_free(own);
  if (h && g_touch) configure_touch(h);
  if (h) {
    HWND container = parent;
    pane_refresh(h);
    pane_layout(container);
  }
  return h;
}

bool pane_set(HWND window, PackedId property, intptr_t value) {
  Pane* p = pane_of(window);
  if (!p) return false;
  switch (property) {
    case PANE_PLACE:
      p->place = (PackedId)value;
      break;
    case PANE_READ:
      p->read_only = value != 0;
      return true;
    case PANE_KUMI:
      // Text views wrap their lines unless told not to.
      p->no_wrap = value == 0;
      if (p->kind == PK_EDIT) view_update(window, false);
      return true;
    case PANE_PRLF:
      return true;  // line ends are never drawn
    case PANE_CXAL:
      p->cxal = (int)value;
      break;
    case PANE_ENABLE:
      p->enabled = value != 0;
      EnableWindow(window, value != 0);
      InvalidateRect(window, nullptr, FALSE);
      return true;
    case PANE_CURSOR:
      if (pane_is_items(p) && value >= 0 && value < p->count) pane_set_cursor(p, (int)value);
      return true;
    case PANE_TOP:
      pane_set_cursor(p, first_selectable(p, 0, 1));
      return true;
    case PANE_END:
      pane_set_cursor(p, first_selectable(p, p->count - 1, -1));
      return true;
    case PANE_APPLY:
      if (p->kind == PK_1LINE) edit_apply(p);
      return true;
    default:
      return false;
  }
  pane_layout(GetParent(window));
  return true;
}

Text* pane_text(HWND window) {
  Pane* p = pane_of(window);
  return p ? p->text : nullptr;
}

PaneKind pane_kind(HWND window) {
  Pane* p = pane_of(window);
  return p ? p->kind : PK_NONE;
}

HWND pane_gap(HWND parent, PackedId side) {
  unsigned kind = side == ID("TOP")     ? PANE_KIND_SPACER_TOP
                  : side == ID("LEFT")  ? PANE_KIND_SPACER_LEFT
                  : side == ID("RIGHT") ? PANE_KIND_SPACER_RIGHT
                                        : PANE_KIND_SPACER_BOTTOM;
  // The thickness is given at 96 DPI: the standard gap, 4 with the default 90 twips.
  return pane_create(nullptr, parent, PANE_VISIBLE | kind, 0,
                     MulDiv(ui_gap(nullptr), 96, ui_dpi(nullptr)));
}

namespace {

// The OK and Cancel buttons as a pane of that kind, docked on that side.
HWND ok_cancel_pane(HWND parent, const char* items, unsigned kind, int id, PackedId side) {
  Text* t = text_new();
  text_puts(t, items);
  text_set_prop(t, ID("_FIXHED"), 1);
  HWND h = pane_create(t, parent, PANE_VISIBLE | PANE_TABSTOP | kind, id, 0);
  text_free(t);
  if (h) pane_set(h, PANE_PLACE, side);
  return h;
}

}  // namespace

HWND pane_button_column(HWND parent) {
  HWND h = ok_cancel_pane(parent, "OK(b)\tOK\n--\nCANCEL\tキャンセル\n--\n", PANE_KIND_ITEMS,
                          CHILD_OK_COLUMN, ID("RIGHT"));
  pane_gap(parent, ID("RIGHT"));
  return h;
}

HWND pane_button_row(HWND parent) {
  return ok_cancel_pane(parent, "OK(b)\t  OK  \n--\nCANCEL\tキャンセル\n--\n", PANE_KIND_ITEM_ROW,
                        CHILD_OK_ROW, ID("BOTTOM"));
}

LRESULT CALLBACK pane_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Pane* p = (Pane*)GetWindowLongPtrW(window, 0);
  if (message == WM_NCCREATE) {
    p = create_pane(window, (const CREATESTRUCTW*)lparam);
    if (!p) return FALSE;
    SetWindowLongPtrW(window, 0, (LONG_PTR)p);
    if (p->kind == PK_1LINE) edit_create(p);
    if (p->kind == PK_EDIT || p->kind == PK_LIST || p->kind == PK_PROP) view_create(p);
    return DefWindowProcW(window, message, wparam, lparam);
  }
  if (!p) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, 0, 0);
    destroy_pane(p);
    return DefWindowProcW(window, message, wparam, lparam);
  }
  LRESULT result = 0;
  if (p->kind == PK_1LINE && edit_message(p, message, wparam, lparam, &result)) return result;
  if ((p->kind == PK_EDIT || p->kind == PK_LIST || p->kind == PK_PROP) &&
      view_message(p, message, wparam, lparam, &result))
    return result;
  if (pane_is_items(p)) {
    bool handled = false;
    result = items_message(p, message, wparam, lparam, &handled);
    if (handled) return result;
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PAINTSTRUCT ps{};
      HDC dc = message == WM_PAINT ? BeginPaint(window, &ps) : (HDC)wparam;
      RECT rc;
      GetClientRect(window, &rc);
      // Paint off screen, then copy: no flicker while a dialog is sized.
      HDC mem = CreateCompatibleDC(dc);
      HBITMAP bmp =
          CreateCompatibleBitmap(dc, rc.right > 0 ? rc.right : 1, rc.bottom > 0 ? rc.bottom : 1);
      HGDIOBJ old = SelectObject(mem, bmp);
      if (pane_is_items(p))
        paint_items(p, mem);
      else if (p->kind == PK_1LINE)
        edit_paint(p, mem);
      else if (p->kind == PK_EDIT || p->kind == PK_LIST || p->kind == PK_PROP)
        view_paint(p, mem);
      else
        ui_fill(mem, rc, ui_color(COLOR_BTNFACE));
      if ((p->style & PANE_BORDER) && p->kind != PK_1LINE)
        ui_draw_border(window, mem, rc, GetFocus() == window && p->kind != PK_EDIT);
      BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteObject(bmp);
      DeleteDC(mem);
      if (message == WM_PAINT) EndPaint(window, &ps);
      return 0;
    }
    case WM_SIZE:
      if (pane_is_items(p)) layout_items(p, LOWORD(lparam));
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_SETFOCUS:
      if (pane_is_items(p) && p->cursor < 0) pane_set_cursor(p, first_selectable(p, 0, 1));
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_MOUSEACTIVATE:
      if (p->in_popup) return MA_NOACTIVATE;
      break;
    case 0x02E3:  // WM_DPICHANGED_AFTERPARENT
      pane_refresh(window);
      return 0;
    case WM_GETTEXTLENGTH:
    case WM_GETTEXT: {
      // The pane's text as the user reads it, in UTF-16 (for automation and screen readers).
      wchar_t* w = ui_wide(text_cstr(p->text), (int)text_length(p->text));
      int n = w ? (int)wcslen(w) : 0;
      if (message == WM_GETTEXT) {
        int room = (int)wparam;
        n = n < room ? n : room - 1;
        if (n >= 0 && lparam) {
          std::memcpy((wchar_t*)lparam, w, sizeof(wchar_t) * (size_t)n);
          ((wchar_t*)lparam)[n] = 0;
        }
      }
      std::free(w);
      return n > 0 ? n : 0;
    }
    case UI_MSG_COMMAND:
      // A command sent to a pane: APPLY, or a key command of its description.
      if (wparam == PANE_APPLY) {
        pane_set(window, PANE_APPLY, 1);
        return 1;
      }
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
