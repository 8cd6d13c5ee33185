// The text view pane (EDIT kinds): a Text shown read-only, with wrapping, scrolling, keyboard and
// wheel; the message box's text and the set-up log view. The internal text is turned into UTF-16
// through the character-code layer, so SJIS-EX characters show as the characters they carry. A
// line of byte 0x01 and a path is drawn as that picture (the log view's images). The LIST kinds
// are the same view with a cursor line whose identifier is chosen with Enter or a double click;
// PPROP shows the header lines of the record it names.

#include <windows.h>
#include <windowsx.h>

#include <cstdlib>
#include <cstring>

#include "core/records.h"
#include "files/fsys.h"
#include "files/path.h"
#include "uiwin/runtime.h"

struct ViewLine {
  wchar_t* text;  // owned by the first row of a logical line (own), else points into it
  int len;
  bool own;
  int image;     // index into the image cache, -1 for text
  int height;    // pixels
  TextPos line;  // start of the logical line in the Text
};

namespace {

// ---- pictures, through GDI+ loaded at first use ----
typedef int(WINAPI* StartupFn)(ULONG_PTR*, const void*, void*);
typedef int(WINAPI* FromFileFn)(const wchar_t*, void**);
typedef int(WINAPI* ToHbitmapFn)(void*, HBITMAP*, DWORD);
typedef int(WINAPI* DisposeFn)(void*);

struct Picture {
  wchar_t* path;
  HBITMAP bitmap;
  int w, h;
};
Picture* g_pics;
int g_npics;
int g_wheel_lines = 3;

struct GdipStartupInput {
  UINT32 version;
  void* callback;
  BOOL no_thread;
  BOOL no_codecs;
};

HBITMAP load_picture(const wchar_t* path, int* w, int* h) {
  static HMODULE lib;
  static StartupFn startup;
  static FromFileFn from_file;
  static ToHbitmapFn to_hbitmap;
  static DisposeFn dispose;
  static bool tried;
  if (!tried) {
    tried = true;
    lib = (HMODULE)fsys_load_system_library(u"gdiplus.dll");
    if (lib) {
      startup = (StartupFn)(void*)GetProcAddress(lib, "GdiplusStartup");
      from_file = (FromFileFn)(void*)GetProcAddress(lib, "GdipCreateBitmapFromFile");
      to_hbitmap = (ToHbitmapFn)(void*)GetProcAddress(lib, "GdipCreateHBITMAPFromBitmap");
      dispose = (DisposeFn)(void*)GetProcAddress(lib, "GdipDisposeImage");
      ULONG_PTR token = 0;
      GdipStartupInput in{1, nullptr, FALSE, FALSE};
      if (!startup || startup(&token, &in, nullptr) != 0) from_file = nullptr;
    }
  }
  if (!from_file || !to_hbitmap || !dispose) return nullptr;
  void* img = nullptr;
  if (from_file(path, &img) != 0 || !img) return nullptr;
  HBITMAP bmp = nullptr;
  to_hbitmap(img, &bmp, 0xFFFFFFFF);
  dispose(img);
  BITMAP bm{};
  if (bmp && GetObjectW(bmp, sizeof bm, &bm)) {
    *w = bm.bmWidth;
    *h = bm.bmHeight;
  }
  return bmp;
}

int picture_of(const char* path, int n) {
  char buf[520];
  if (n <= 0 || n >= (int)sizeof buf) return -1;
  std::memcpy(buf, path, (size_t)n);
  buf[n] = 0;
  char16_t* wide = path_resolve(buf);
  if (!wide) return -1;
  for (int i = 0; i < g_npics; ++i) {
    if (wcscmp(g_pics[i].path, (wchar_t*)wide) == 0) {
      std::free(wide);
      return g_pics[i].bitmap ? i : -1;
    }
  }
  Picture* grown = (Picture*)std::realloc(g_pics, sizeof(Picture) * (size_t)(g_npics + 1));
  if (!grown) {
    std::free(wide);
    return -1;
  }
  g_pics = grown;
  Picture& pic = g_pics[g_npics++];
  pic.path = (wchar_t*)wide;
  pic.w = pic.h = 0;
  pic.bitmap = load_picture(pic.path, &pic.w, &pic.h);
  return pic.bitmap ? g_npics - 1 : -1;
}

void free_lines(Pane* p) {
  for (int i = 0; i < p->vcount; ++i)
    if (p->vlines[i].own) std::free(p->vlines[i].text);
  std::free(p->vlines);
  p->vlines = nullptr;
  p->vcount = p->vcap = 0;
}

bool is_list(const Pane* p) {
  return p->kind == PK_LIST;
}

int pad_of(const Pane* p) {
  return ui_scale(p->hwnd, is_list(p) ? 2 : 6);
}

RECT text_area(Pane* p) {
  RECT rc;
  GetClientRect(p->hwnd, &rc);
  int edge = (p->style & PANE_BORDER) ? ui_scale(p->hwnd, 1) : 0;
  int pad = pad_of(p);
  return RECT{rc.left + edge + pad, rc.top + edge + (is_list(p) ? edge : pad / 2),
              rc.right - edge - pad, rc.bottom - edge - pad / 2};
}

bool push_row(Pane* p, ViewLine row) {
  if (p->vcount == p->vcap) {
    int n = p->vcap ? p->vcap * 2 : 64;
    ViewLine* grown = (ViewLine*)std::realloc(p->vlines, sizeof(ViewLine) * (size_t)n);
    if (!grown) return false;
    p->vlines = grown;
    p->vcap = n;
  }
  p->vlines[p->vcount++] = row;
  return true;
}

// Splits the Text into rows that fit `wrap` pixels (0: no wrapping). Japanese text breaks between
// any two characters; a run of Latin letters moves whole to the next row when it can. With `from`
// the rows of the lines before it stay (a log that grew at its end is not measured again).
void build_rows(Pane* p, int wrap, TextPos from = 0) {
  if (from <= 0 || wrap != p->built_wrap) {
    free_lines(p);
    p->longest = 0;
    from = 0;
  } else {
    int keep = p->vcount;
    while (keep > 0 && p->vlines[keep - 1].line >= from) --keep;
    for (int i = keep; i < p->vcount; ++i)
      if (p->vlines[i].own) std::free(p->vlines[i].text);
    p->vcount = keep;
  }
  p->built_wrap = wrap;
  const UiFont* f = ui_font(pane_dpi(p));
  HDC dc = GetDC(p->hwnd);
  HGDIOBJ old = SelectObject(dc, f->font);
  const char* base = text_cstr(p->text);
  int64_t n = text_length(p->text);
  int dpi = pane_dpi(p);
  for (int64_t pos = from; pos < n;) {
    const char* s = base + pos;
    const char* e = (const char*)std::memchr(s, '\n', (size_t)(n - pos));
    int64_t len = e ? e - s : n - pos;
    int64_t next = e ? pos + len + 1 : n;
    if (len > 0 && s[len - 1] == '\r') --len;
    if (len > 0 && s[0] == VIEW_IMAGE_MARK) {
      int pic = picture_of(s + 1, (int)len - 1);
      if (pic >= 0) {
        int h = MulDiv(g_pics[pic].h, dpi, 96);
        if (!push_row(p, ViewLine{nullptr, 0, false, pic, h, pos})) break;
        int w = MulDiv(g_pics[pic].w, dpi, 96);
        if (w > p->longest) p->longest = w;
        pos = next;
        continue;
      }
    }
    wchar_t* w = ui_wide(s, (int)len);
    if (!w) break;
    int wl = (int)wcslen(w);
    for (int i = 0; i < wl; ++i)
      if (w[i] == VIEW_IMAGE_MARK) w[i] = L' ';
    int start = 0;
    bool first = true;
    do {
      int end = wl;
      if (wrap > 0 && !is_list(p)) {
        int fit = 0;
        SIZE size{};
        GetTextExtentExPointW(dc, w + start, wl - start, wrap, &fit, nullptr, &size);
        if (start + fit < wl) {
          end = start + (fit > 0 ? fit : 1);
          if (end > start + 1 && w[end] >= 0xDC00 && w[end] < 0xE000) --end;
          int back = end;
          while (back > start + 1 && w[back - 1] < 0x80 && w[back] < 0x80 && w[back] != L' ' &&
                 w[back - 1] != L' ')
            --back;
          if (back > start + 1) end = back;
        }
      }
      ViewLine row{w + start, end - start, first, -1, f->height, pos};
      if (!push_row(p, row)) {
        if (first) std::free(w);
        break;
      }
      first = false;
      DWORD ext = GetTabbedTextExtentW(dc, w + start, end - start, 0, nullptr);
      if ((int)LOWORD(ext) > p->longest) p->longest = LOWORD(ext);
      start = end;
      while (wrap > 0 && start < wl && w[start] == L' ') ++start;
    } while (start < wl);
    pos = next;
  }
  SelectObject(dc, old);
  ReleaseDC(p->hwnd, dc);
}

int rows_height(Pane* p, int from, int to) {
  int h = 0;
  for (int i = from; i < to && i < p->vcount; ++i) h += p->vlines[i].height;
  return h;
}

// Rows that fit from `top` down.
int rows_visible(Pane* p) {
  RECT a = text_area(p);
  int room = a.bottom - a.top, n = 0;
  for (int i = p->top; i < p->vcount; ++i) {
    room -= p->vlines[i].height;
    if (room < 0) break;
    ++n;
  }
  return n > 0 ? n : 1;
}

int max_top(Pane* p) {
  RECT a = text_area(p);
  int room = a.bottom - a.top, i = p->vcount;
  while (i > 0 && room - p->vlines[i - 1].height >= 0) room -= p->vlines[--i].height;
  return i;
}

void update_scrollbar(Pane* p) {
  bool need = max_top(p) > 0;
  bool shown = (GetWindowLongW(p->hwnd, GWL_STYLE) & WS_VSCROLL) != 0;
  // Showing or hiding the bar sizes the client again (WM_SIZE lays the rows out anew).
  if (need != shown) ShowScrollBar(p->hwnd, SB_VERT, need ? TRUE : FALSE);
  if (!need) return;
  SCROLLINFO si{sizeof si, SIF_ALL, 0, p->vcount - 1, (UINT)rows_visible(p), p->top, 0};
  // Drawn with the next paint, not at once: a log view may be updated for every line it gets.
  SetScrollInfo(p->hwnd, SB_VERT, &si, FALSE);
  RedrawWindow(p->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
}

void scroll_to(Pane* p, int top) {
  int m = max_top(p);
  if (top > m) top = m;
  if (top < 0) top = 0;
  if (top == p->top) return;
  p->top = top;
  update_scrollbar(p);
  InvalidateRect(p->hwnd, nullptr, FALSE);
}

void relayout(Pane* p, TextPos from = 0) {
  // Wrapped to the whole width; when that overflows, again beside the scroll bar.
  RECT a = text_area(p);
  int wrap = p->no_wrap ? 0 : a.right - a.left;
  if (GetWindowLongW(p->hwnd, GWL_STYLE) & WS_VSCROLL) wrap += GetSystemMetrics(SM_CXVSCROLL);
  int narrow = p->no_wrap ? 0 : wrap - GetSystemMetrics(SM_CXVSCROLL);
  if (from > 0 && p->built_wrap == (narrow > 0 ? narrow : 0) && !is_list(p)) {
    build_rows(p, p->built_wrap, from);
  } else {
    build_rows(p, wrap > 0 ? wrap : 0);
    if (rows_height(p, 0, p->vcount) > a.bottom - a.top && !is_list(p))
      build_rows(p, narrow > 0 ? narrow : 0);
  }
  if (p->top > max_top(p)) p->top = max_top(p);
  update_scrollbar(p);
  InvalidateRect(p->hwnd, nullptr, FALSE);
}

// The list's cursor row is the Text's cursor line.
int list_cursor(Pane* p) {
  TextPos c = text_line_start(p->text, text_tell(p->text));
  for (int i = 0; i < p->vcount; ++i)
    if (p->vlines[i].line == c) return i;
  return -1;
}

void list_set(Pane* p, int row) {
  if (row < 0 || row >= p->vcount) return;
  text_seek(p->text, p->vlines[row].line);
  if (row < p->top) scroll_to(p, row);
  if (row >= p->top + rows_visible(p)) scroll_to(p, row - rows_visible(p) + 1);
  InvalidateRect(p->hwnd, nullptr, FALSE);
}

void list_choose(Pane* p) {
  int row = list_cursor(p);
  if (row < 0) return;
  PackedId id = text_id(text_cstr(p->text) + p->vlines[row].line);
  if (p->in_popup)
    popup_chosen(p, id);
  else
    pane_report(p, id ? id : ID("ENTER"));
}

}  // namespace

void ui_view_set_wheel_lines(int lines) {
  g_wheel_lines = lines > 0 ? lines : 3;
}

void view_create(Pane* p) {
  p->top = 0;
  p->read_only = true;
  if (p->kind == PK_LIST) text_top(p->text);  // the cursor line starts on the first line
  if (p->kind == PK_PROP) {
    // The property sheet shows the header block of the record named by the number.
    Text* rec = (Text*)p->extra;
    if (p->extra && text_is_live(rec)) {
      text_clear(p->text);
      text_put_text(p->text, text_cstr(rec));
    }
  }
}

void view_destroy(Pane* p) {
  free_lines(p);
}

SIZE view_preferred(Pane* p, int width) {
  // Width: the longest line, at most 60 average characters; height: every row, at most 25 rows.
  const UiFont* f = ui_font(pane_dpi(p));
  int pad = pad_of(p);
  int most = 60 * f->avg;
  build_rows(p, 0);
  int w = p->longest < most ? p->longest : most;
  if (width > 0 && w > width - 2 * pad) w = width - 2 * pad;
  build_rows(p, w);
  int h = rows_height(p, 0, p->vcount);
  if (h > 25 * f->height) h = 25 * f->height;
  if (h < f->height) h = f->height;
  SIZE s{w + 2 * pad + 1, h + pad + (is_list(p) ? 2 * pad : 0)};
  relayout(p);
  return s;
}

void view_update(HWND window, bool to_end) {
  Pane* p = pane_of(window);
  if (!p || (p->kind != PK_EDIT && p->kind != PK_LIST && p->kind != PK_PROP)) return;
  // Appending to a log: only the last line and what follows it are laid out again.
  relayout(p, to_end && p->vcount ? p->vlines[p->vcount - 1].line : 0);
  if (to_end) scroll_to(p, max_top(p));
}

void view_paint(Pane* p, HDC dc) {
  RECT rc;
  GetClientRect(p->hwnd, &rc);
  ui_fill(dc, rc, ui_color(COLOR_WINDOW));
  const UiFont* f = ui_font(pane_dpi(p));
  HGDIOBJ old = SelectObject(dc, f->font);
  RECT a = text_area(p);
  SetBkMode(dc, TRANSPARENT);
  int y = a.top, cursor = is_list(p) ? list_cursor(p) : -1;
  HDC mem = CreateCompatibleDC(dc);
  for (int i = p->top; i < p->vcount && y < a.bottom; ++i) {
    ViewLine& v = p->vlines[i];
    COLORREF ink = ui_color(COLOR_WINDOWTEXT);
    if (i == cursor) {
      RECT hl{rc.left, y, rc.right, y + v.height};
      bool focused = GetFocus() == p->hwnd || p->in_popup;
      ui_fill(dc, hl, ui_color(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
      if (focused) ink = ui_color(COLOR_HIGHLIGHTTEXT);
    }
    if (v.image >= 0) {
      Picture& pic = g_pics[v.image];
      HGDIOBJ ob = SelectObject(mem, pic.bitmap);
      int w = MulDiv(pic.w, pane_dpi(p), 96);
      SetStretchBltMode(dc, HALFTONE);
      StretchBlt(dc, a.left - p->left, y, w, v.height, mem, 0, 0, pic.w, pic.h, SRCCOPY);
      SelectObject(mem, ob);
    } else {
      SetTextColor(dc, ink);
      int tab = 8 * f->avg;
      TabbedTextOutW(dc, a.left - p->left, y, v.text, v.len, 1, &tab, a.left - p->left);
    }
    y += v.height;
  }
  DeleteDC(mem);
  SelectObject(dc, old);
}

bool view_message(Pane* p, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_SIZE:
      relayout(p);
      return true;
    case WM_VSCROLL: {
      int top = p->top, page = rows_visible(p);
      switch (LOWORD(wparam)) {
        case SB_LINEUP:
          --top;
          break;
        case SB_LINEDOWN:
          ++top;
          break;
        case SB_PAGEUP:
          top -= page;
          break;
        case SB_PAGEDOWN:
          top += page;
          break;
        case SB_TOP:
          top = 0;
          break;
        case SB_BOTTOM:
          top = p->vcount;
          break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO si{sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
          GetScrollInfo(p->hwnd, SB_VERT, &si);
          top = si.nTrackPos;
          break;
        }
      }
      scroll_to(p, top);
      return true;
    }
    case WM_MOUSEWHEEL: {
      p->wheel_rest += GET_WHEEL_DELTA_WPARAM(wparam);
      int notches = p->wheel_rest / WHEEL_DELTA;
      p->wheel_rest -= notches * WHEEL_DELTA;
      scroll_to(p, p->top - notches * g_wheel_lines);
      return true;
    }
    case WM_KEYDOWN: {
      int page = rows_visible(p);
      bool ctrl = GetKeyState(VK_CONTROL) < 0;
      if (is_list(p)) {
        int c = list_cursor(p);
        switch (wparam) {
          case VK_UP:
            list_set(p, c > 0 ? c - 1 : 0);
            return true;
          case VK_DOWN:
            list_set(p, c + 1 < p->vcount ? c + 1 : c);
            return true;
          case VK_PRIOR:
            list_set(p, c - page > 0 ? c - page : 0);
            return true;
          case VK_NEXT:
            list_set(p, c + page < p->vcount ? c + page : p->vcount - 1);
            return true;
          case VK_HOME:
            list_set(p, 0);
            return true;
          case VK_END:
            list_set(p, p->vcount - 1);
            return true;
          case VK_RETURN:
            list_choose(p);
            return true;
          case VK_ESCAPE:
            // A list choice: Esc dismisses it.
            if (!p->in_popup) return false;
            popup_chosen(p, 0);
            return true;
        }
        return false;
      }
      switch (wparam) {
        case VK_UP:
          scroll_to(p, p->top - 1);
          return true;
        case VK_DOWN:
          scroll_to(p, p->top + 1);
          return true;
        case VK_PRIOR:
          scroll_to(p, p->top - page);
          return true;
        case VK_NEXT:
          scroll_to(p, p->top + page);
          return true;
        case VK_HOME:
          if (ctrl) scroll_to(p, 0);
          return ctrl;
        case VK_END:
          if (ctrl) scroll_to(p, p->vcount);
          return ctrl;
      }
      return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!p->in_popup && (GetWindowLongW(p->hwnd, GWL_STYLE) & WS_TABSTOP)) SetFocus(p->hwnd);
      if (!is_list(p)) return true;
      RECT a = text_area(p);
      int y = a.top, row = -1;
      for (int i = p->top; i < p->vcount; ++i) {
        if (GET_Y_LPARAM(lparam) >= y && GET_Y_LPARAM(lparam) < y + p->vlines[i].height) row = i;
        y += p->vlines[i].height;
      }
      list_set(p, row);
      if (row >= 0 && (message == WM_LBUTTONDBLCLK || p->in_popup)) list_choose(p);
      return true;
    }
    case WM_GETDLGCODE:
      *result = DLGC_WANTARROWS;
      return true;
  }
  (void)lparam;
  return false;
}

bool view_list_enter(Pane* p) {
  if (!p || !is_list(p)) return false;
  list_choose(p);
  return true;
}

void view_shutdown() {
  for (int i = 0; i < g_npics; ++i) {
    std::free(g_pics[i].path);
    if (g_pics[i].bitmap) DeleteObject(g_pics[i].bitmap);
  }
  std::free(g_pics);
  g_pics = nullptr;
  g_npics = 0;
}
