// The one-line input pane (1LINE): a caret, a selection, the clipboard and the input method's
// composition, drawn by the runtime. The pane's Text holds the input in the internal encoding and
// is written again after every change, so the caller reads it after dialog_run; the pane edits a
// UTF-16 copy so that the caret steps over whole characters of what the user sees.

#include <windows.h>
// After windows.h, which they need.
#include <imm.h>
#include <windowsx.h>

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/format.h"
#include "uiwin/runtime.h"

namespace {

bool reserve(Pane* p, int n) {
  if (n + 1 <= p->cap) return true;
  int cap = p->cap ? p->cap : 64;
  while (cap < n + 1) cap *= 2;
  wchar_t* b = (wchar_t*)std::realloc(p->buf, sizeof(wchar_t) * (size_t)cap);
  if (!b) return false;
  p->buf = b;
  p->cap = cap;
  return true;
}

// The Text gets the input again (one line, internal encoding).
void store(Pane* p) {
  // Up to the first NUL: typing and pasting never put one in the field.
  char* mb = to_narrow_new(p->len ? (const char16_t*)p->buf : u"", p->len);
  if (!mb) return;
  text_clear(p->text);
  text_write(p->text, mb, (int64_t)std::strlen(mb));
  std::free(mb);
}

void load(Pane* p) {
  int64_t n = 0;
  text_top(p->text);
  const char* s = text_line_ptr(p->text);
  n = s ? (int64_t)std::strcspn(s, "\r\n") : 0;
  wchar_t* w = ui_wide(s, (int)n);
  p->len = 0;
  if (w && reserve(p, (int)wcslen(w))) {
    p->len = (int)wcslen(w);
    std::memcpy(p->buf, w, sizeof(wchar_t) * (size_t)p->len);
  }
  std::free(w);
  p->caret = p->anchor = p->len;
}

int sel_start(const Pane* p) {
  return p->caret < p->anchor ? p->caret : p->anchor;
}
int sel_end(const Pane* p) {
  return p->caret < p->anchor ? p->anchor : p->caret;
}

struct Box {
  RECT text;  // where the characters go
  const UiFont* font;
};

Box box_of(Pane* p) {
  Box b;
  RECT rc;
  GetClientRect(p->hwnd, &rc);
  int pad = ui_scale(p->hwnd, 4);
  int edge = (p->style & PANE_BORDER) ? ui_scale(p->hwnd, 1) : 0;
  b.text = RECT{rc.left + edge + pad, rc.top + edge, rc.right - edge - pad, rc.bottom - edge};
  b.font = ui_font(pane_dpi(p));
  return b;
}

int x_of(Pane* p, HDC dc, int index) {
  return ui_text_width(dc, p->buf, index);
}

int index_at(Pane* p, int x) {
  Box b = box_of(p);
  HDC dc = GetDC(p->hwnd);
  HGDIOBJ old = SelectObject(dc, b.font->font);
  int rel = x - b.text.left + p->scroll_x, best = 0;
  for (int i = 0; i <= p->len; ++i) {
    int w = x_of(p, dc, i);
    if (w <= rel) best = i;
    if (i < p->len) {
      int next = x_of(p, dc, i + 1);
      if (rel >= w && rel < next) {
        best = rel - w < next - rel ? i : i + 1;
        break;
      }
    }
  }
  SelectObject(dc, old);
  ReleaseDC(p->hwnd, dc);
  return best;
}

// x_of on a screen DC of the pane with its font.
int measured_x(Pane* p, const Box& b, int index) {
  HDC dc = GetDC(p->hwnd);
  HGDIOBJ old = SelectObject(dc, b.font->font);
  int x = x_of(p, dc, index);
  SelectObject(dc, old);
  ReleaseDC(p->hwnd, dc);
  return x;
}

void place_caret(Pane* p) {
  Box b = box_of(p);
  int x = measured_x(p, b, p->caret);
  int room = b.text.right - b.text.left;
  if (room <= 0)
    p->scroll_x = 0;
  else if (x - p->scroll_x > room)
    p->scroll_x = x - room + room / 3;
  if (x < p->scroll_x) p->scroll_x = x - room / 3 > 0 ? x - room / 3 : 0;
  int y = b.text.top + (b.text.bottom - b.text.top - b.font->height) / 2;
  if (GetFocus() == p->hwnd) {
    SetCaretPos(b.text.left + x - p->scroll_x, y);
    HIMC imc = ImmGetContext(p->hwnd);
    if (imc) {
      COMPOSITIONFORM cf{};
      cf.dwStyle = CFS_POINT;
      cf.ptCurrentPos = POINT{b.text.left + x - p->scroll_x, y};
      ImmSetCompositionWindow(imc, &cf);
      ImmReleaseContext(p->hwnd, imc);
    }
  }
  InvalidateRect(p->hwnd, nullptr, FALSE);
}

void replace_selection(Pane* p, const wchar_t* s, int n) {
  if (p->read_only) return;
  int a = sel_start(p), e = sel_end(p);
  if (!reserve(p, p->len - (e - a) + n)) return;
  std::memmove(p->buf + a + n, p->buf + e, sizeof(wchar_t) * (size_t)(p->len - e));
  std::memcpy(p->buf + a, s, sizeof(wchar_t) * (size_t)n);
  p->len += n - (e - a);
  p->caret = p->anchor = a + n;
  store(p);
  place_caret(p);
}

void copy_selection(Pane* p) {
  int a = sel_start(p), e = sel_end(p);
  if (a == e || !OpenClipboard(p->hwnd)) return;
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, sizeof(wchar_t) * (size_t)(e - a + 1));
  if (g) {
    wchar_t* w = (wchar_t*)GlobalLock(g);
    std::memcpy(w, p->buf + a, sizeof(wchar_t) * (size_t)(e - a));
    w[e - a] = 0;
    GlobalUnlock(g);
    if (!SetClipboardData(CF_UNICODETEXT, g)) GlobalFree(g);
  }
  CloseClipboard();
}

void paste(Pane* p) {
  if (!OpenClipboard(p->hwnd)) return;
  HANDLE g = GetClipboardData(CF_UNICODETEXT);
  const wchar_t* w = g ? (const wchar_t*)GlobalLock(g) : nullptr;
  if (w) {
    // One line: the paste stops at the first line end.
    int n = (int)wcscspn(w, L"\r\n");
    replace_selection(p, w, n);
    GlobalUnlock(g);
  }
  CloseClipboard();
}

bool is_word(wchar_t c) {
  return c > ' ' && !wcschr(L".,;:/\\()[]{}<>\"'!?=+-*&|", c);
}

int word_step(Pane* p, int from, int dir) {
  int i = from;
  if (dir < 0) {
    while (i > 0 && !is_word(p->buf[i - 1])) --i;
    while (i > 0 && is_word(p->buf[i - 1])) --i;
  } else {
    while (i < p->len && is_word(p->buf[i])) ++i;
    while (i < p->len && !is_word(p->buf[i])) ++i;
  }
  return i;
}

// A step over one character: a surrogate pair is one.
int char_step(Pane* p, int from, int dir) {
  int i = from + dir;
  if (i < 0) return 0;
  if (i > p->len) return p->len;
  if (i > 0 && i < p->len && p->buf[i] >= 0xDC00 && p->buf[i] < 0xE000) i += dir;
  return i;
}

bool key_down(Pane* p, UINT vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  int to = -1;
  switch (vk) {
    case VK_LEFT:
      to = ctrl ? word_step(p, p->caret, -1)
                : (!shift && p->caret != p->anchor ? sel_start(p) : char_step(p, p->caret, -1));
      break;
    case VK_RIGHT:
      to = ctrl ? word_step(p, p->caret, 1)
                : (!shift && p->caret != p->anchor ? sel_end(p) : char_step(p, p->caret, 1));
      break;
    case VK_HOME:
      to = 0;
      break;
    case VK_END:
      to = p->len;
      break;
    case VK_DELETE:
      if (p->caret == p->anchor) p->anchor = char_step(p, p->caret, 1);
      if (shift) copy_selection(p);
      replace_selection(p, L"", 0);
      return true;
    case VK_INSERT:
      if (ctrl) copy_selection(p);
      if (shift) paste(p);
      return ctrl || shift;
    default:
      return false;
  }
  p->caret = to;
  if (!shift) p->anchor = to;
  place_caret(p);
  return true;
}

bool key_char(Pane* p, wchar_t c) {
  switch (c) {
    case 1:  // Ctrl+A
      p->anchor = 0;
      p->caret = p->len;
      place_caret(p);
      return true;
    case 3:  // Ctrl+C
      copy_selection(p);
      return true;
    case 24:  // Ctrl+X
      copy_selection(p);
      replace_selection(p, L"", 0);
      return true;
    case 22:  // Ctrl+V
      paste(p);
      return true;
    case 8:
      if (p->caret == p->anchor) p->anchor = char_step(p, p->caret, -1);
      replace_selection(p, L"", 0);
      return true;
  }
  if (c < 0x20 || c == 0x7F) return false;
  replace_selection(p, &c, 1);
  return true;
}

}  // namespace

void edit_create(Pane* p) {
  load(p);
}

void edit_destroy(Pane* p) {
  std::free(p->buf);
  p->buf = nullptr;
  p->len = p->cap = 0;
}

SIZE edit_preferred(Pane* p) {
  Box b = box_of(p);
  int w = measured_x(p, b, p->len);
  int least = 20 * b.font->avg;
  int pad = ui_scale(p->hwnd, 4);
  SIZE s{(w > least ? w : least) + 2 * pad, b.font->height + 2 * pad};
  if (s.cy < ui_scale(p->hwnd, 23)) s.cy = ui_scale(p->hwnd, 23);
  return s;
}

void edit_paint(Pane* p, HDC dc) {
  RECT rc;
  GetClientRect(p->hwnd, &rc);
  bool focused = GetFocus() == p->hwnd;
  ui_fill(dc, rc, ui_color(p->enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  Box b = box_of(p);
  HGDIOBJ old = SelectObject(dc, b.font->font);
  int y = b.text.top + (b.text.bottom - b.text.top - b.font->height) / 2;
  int x0 = b.text.left - p->scroll_x;
  HRGN clip = CreateRectRgnIndirect(&b.text);
  SelectClipRgn(dc, clip);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ui_color(p->enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  ExtTextOutW(dc, x0, y, 0, nullptr, p->buf, (UINT)p->len, nullptr);
  int a = sel_start(p), e = sel_end(p);
  if (a != e && focused) {
    RECT sel{x0 + x_of(p, dc, a), y, x0 + x_of(p, dc, e), y + b.font->height};
    ui_fill(dc, sel, ui_color(COLOR_HIGHLIGHT));
    SetTextColor(dc, ui_color(COLOR_HIGHLIGHTTEXT));
    ExtTextOutW(dc, sel.left, y, ETO_CLIPPED, &sel, p->buf + a, (UINT)(e - a), nullptr);
  }
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);
  SelectObject(dc, old);
  if (p->style & PANE_BORDER) ui_draw_border(p->hwnd, dc, rc, focused);
}

namespace {

// The history lists of the input panes, one per child identifier, for the life of the process.
struct History {
  int child;
  Text* lines;
};
History g_history[32];

}  // namespace

Text* pane_history(int child_id) {
  for (History& h : g_history)
    if (h.lines && h.child == child_id) return h.lines;
  for (History& h : g_history) {
    if (h.lines) continue;
    h.lines = text_new();
    h.child = child_id;
    return h.lines;
  }
  return nullptr;
}

void edit_history_free() {
  for (History& h : g_history) {
    text_free(h.lines);
    h = History{};
  }
}

void edit_apply(Pane* p) {
  // The input joins its pane's history list: newest first, each text once.
  if (!p->len) return;
  Text* hist = pane_history(GetDlgCtrlID(p->hwnd));
  if (!hist) return;
  const char* line = text_cstr(p->text);
  size_t n = std::strlen(line);
  const char* all = text_cstr(hist);
  for (const char* s = all; *s;) {
    const char* e = std::strchr(s, '\n');
    size_t len = e ? (size_t)(e - s) : std::strlen(s);
    size_t shown = len > 0 && s[len - 1] == '\r' ? len - 1 : len;
    if (shown == n && std::memcmp(s, line, n) == 0) {
      text_seek(hist, s - all);
      text_delete(hist, (int64_t)len + (e ? 1 : 0));
      break;
    }
    s = e ? e + 1 : s + len;
  }
  text_top(hist);
  text_printf(hist, "%s\n", text_cstr(p->text));
}

bool edit_message(Pane* p, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_SETFOCUS: {
      const UiFont* f = ui_font(pane_dpi(p));
      CreateCaret(p->hwnd, nullptr, ui_scale(p->hwnd, 1) + (pane_dpi(p) >= 144 ? 1 : 0), f->height);
      place_caret(p);
      ShowCaret(p->hwnd);
      return true;
    }
    case WM_KILLFOCUS:
      DestroyCaret();
      InvalidateRect(p->hwnd, nullptr, FALSE);
      return true;
    case WM_KEYDOWN:
      return key_down(p, (UINT)wparam);
    case WM_CHAR:
      return key_char(p, (wchar_t)wparam);
    case WM_LBUTTONDOWN:
      SetFocus(p->hwnd);
      p->caret = index_at(p, GET_X_LPARAM(lparam));
      if (GetKeyState(VK_SHIFT) >= 0) p->anchor = p->caret;
      p->dragging = true;
      SetCapture(p->hwnd);
      place_caret(p);
      return true;
    case WM_MOUSEMOVE:
      if (p->dragging) {
        p->caret = index_at(p, GET_X_LPARAM(lparam));
        place_caret(p);
      }
      return true;
    case WM_LBUTTONUP:
      p->dragging = false;
      if (GetCapture() == p->hwnd) ReleaseCapture();
      return true;
    case WM_LBUTTONDBLCLK:
      p->anchor = 0;
      p->caret = p->len;
      place_caret(p);
      return true;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
        *result = TRUE;
        return true;
      }
      return false;
    case WM_IME_STARTCOMPOSITION: {
      // The composition window sits on the caret, in the pane's font.
      HIMC imc = ImmGetContext(p->hwnd);
      if (imc) {
        LOGFONTW lf{};
        GetObjectW(ui_font(pane_dpi(p))->font, sizeof lf, &lf);
        ImmSetCompositionFontW(imc, &lf);
        ImmReleaseContext(p->hwnd, imc);
      }
      place_caret(p);
      return false;
    }
    case WM_GETDLGCODE:
      *result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
      return true;
    case WM_SIZE:
      p->scroll_x = 0;
      place_caret(p);
      return false;
  }
  return false;
}
