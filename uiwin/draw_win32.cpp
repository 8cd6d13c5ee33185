// The runtime's own drawing: DPI, the user-interface font of each DPI, captions with underlined
// accelerators, push buttons, check boxes and radio buttons, borders. Themed parts come from
// uxtheme when visual styles are on; otherwise the runtime draws flat parts whose every line is
// sized from the DPI, so that they stay sharp at 144 and 192 DPI.

#include <windows.h>
// After windows.h, which they need.
#include <uxtheme.h>
#include <vssym32.h>

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "files/fsys.h"
#include "uiwin/runtime.h"

namespace {

typedef UINT(WINAPI* DpiForWindowFn)(HWND);
typedef HTHEME(WINAPI* ThemeForDpiFn)(HWND, LPCWSTR, UINT);
typedef HTHEME(WINAPI* OpenThemeFn)(HWND, LPCWSTR);
typedef HRESULT(WINAPI* CloseThemeFn)(HTHEME);
typedef HRESULT(WINAPI* DrawThemeFn)(HTHEME, HDC, int, int, const RECT*, const RECT*);
typedef BOOL(WINAPI* ThemedFn)();

// "UxTheme.dll" is no known system DLL: imported statically it would be looked for beside the
// program before any of our code runs, so it is loaded here from the system folder, and without
// it nothing is themed.
struct DpiApi {
  bool loaded;
  DpiForWindowFn for_window;
  ThemeForDpiFn theme_for_dpi;
  OpenThemeFn open_theme;
  CloseThemeFn close_theme;
  DrawThemeFn draw_background;
  ThemedFn is_app_themed;
  ThemedFn is_theme_active;
};
DpiApi g_api;

template <typename Fn>
void find(HMODULE lib, const char* name, Fn* out) {
  *out = lib ? (Fn)(void*)GetProcAddress(lib, name) : nullptr;
}

void load_api() {
  if (g_api.loaded) return;
  g_api.loaded = true;
  HMODULE user = GetModuleHandleW(L"user32.dll");
  find(user, "GetDpiForWindow", &g_api.for_window);
  HMODULE ux = (HMODULE)fsys_load_system_library(u"uxtheme.dll");
  find(ux, "OpenThemeDataForDpi", &g_api.theme_for_dpi);
  find(ux, "OpenThemeData", &g_api.open_theme);
  find(ux, "CloseThemeData", &g_api.close_theme);
  find(ux, "DrawThemeBackground", &g_api.draw_background);
  find(ux, "IsAppThemed", &g_api.is_app_themed);
  find(ux, "IsThemeActive", &g_api.is_theme_active);
  if (!g_api.open_theme || !g_api.close_theme || !g_api.draw_background || !g_api.is_app_themed ||
      !g_api.is_theme_active)
    g_api.is_theme_active = nullptr;  // incomplete: never themed
}

int g_system_dpi;
int g_gap_twips = 90;

enum { FONT_CACHE = 6 };
UiFont g_fonts[FONT_CACHE];
wchar_t g_face[LF_FACESIZE];

struct ThemeEntry {
  HTHEME theme;
  int dpi;
};
ThemeEntry g_themes[FONT_CACHE];

int CALLBACK font_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *(bool*)found = true;
  return 0;
}

bool face_exists(HDC dc, const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, font_found, (LPARAM)&found, 0);
  return found;
}

// The user-interface face: the system's Japanese UI faces in order, else whatever face the
// system gives Shift-JIS text.
const wchar_t* ui_face() {
  if (g_face[0]) return g_face;
  static const wchar_t* const faces[] = {L"Yu Gothic UI", L"Meiryo UI", L"\u30E1\u30A4\u30EA\u30AA",
                                         L"MS UI Gothic", L"Noto Sans CJK JP"};
  HDC dc = GetDC(nullptr);
  for (const wchar_t* f : faces) {
    if (face_exists(dc, f)) {
      wcsncpy(g_face, f, LF_FACESIZE - 1);
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  if (!g_face[0]) {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    wcsncpy(g_face, m.lfMessageFont.lfFaceName, LF_FACESIZE - 1);
  }
  return g_face;
}

void frame_rect(HDC dc, RECT rc, int width, COLORREF color) {
  RECT r = rc;
  r.bottom = r.top + width;
  ui_fill(dc, r, color);
  r = rc;
  r.top = r.bottom - width;
  ui_fill(dc, r, color);
  r = rc;
  r.right = r.left + width;
  ui_fill(dc, r, color);
  r = rc;
  r.left = r.right - width;
  ui_fill(dc, r, color);
}

HTHEME button_theme(HWND window) {
  int dpi = ui_dpi(window);
  for (ThemeEntry& e : g_themes)
    if (e.theme && e.dpi == dpi) return e.theme;
  for (ThemeEntry& e : g_themes) {
    if (e.theme) continue;
    e.theme = g_api.theme_for_dpi ? g_api.theme_for_dpi(nullptr, L"BUTTON", dpi)
                                  : g_api.open_theme(window, L"BUTTON");
    e.dpi = dpi;
    return e.theme;
  }
  return nullptr;
}

}  // namespace

int ui_dpi(HWND window) {
  load_api();
  if (window && g_api.for_window) {
    UINT d = g_api.for_window(window);
    if (d) return (int)d;
  }
  if (!g_system_dpi) {
    HDC dc = GetDC(nullptr);
    g_system_dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    if (g_system_dpi <= 0) g_system_dpi = 96;
  }
  return g_system_dpi;
}

int ui_scale(HWND window, int px96) {
  return MulDiv(px96, ui_dpi(window), 96);
}

void ui_set_gap_twips(int twips) {
  g_gap_twips = twips > 0 ? twips : 90;
}

int ui_dialog_unit(HWND window) {
  return ui_dpi(window) * g_gap_twips / 1440;
}

int ui_gap(HWND window) {
  return MulDiv(g_gap_twips / 20, ui_dpi(window), 96);
}

const UiFont* ui_font(int dpi) {
  for (const UiFont& f : g_fonts)
    if (f.font && f.dpi == dpi) return &f;
  UiFont* slot = &g_fonts[0];
  for (UiFont& f : g_fonts) {
    if (!f.font) {
      slot = &f;
      break;
    }
  }
  if (slot->font) DeleteObject(slot->font);
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(9, dpi, 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcsncpy(lf.lfFaceName, ui_face(), LF_FACESIZE - 1);
  slot->font = CreateFontIndirectW(&lf);
  slot->dpi = dpi;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, slot->font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  slot->height = tm.tmHeight + tm.tmExternalLeading;
  slot->ascent = tm.tmAscent;
  slot->avg = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : dpi / 12;
  return slot;
}

bool ui_themed() {
  load_api();
  return g_api.is_theme_active && g_api.is_app_themed() && g_api.is_theme_active();
}

wchar_t* ui_wide(const char* s, int n) {
  if (!s) s = "";
  if (n < 0) n = (int)std::strlen(s);
  int units = n ? to_wide(s, n, nullptr, 0) : 0;
  wchar_t* w = (wchar_t*)std::malloc(sizeof(wchar_t) * (size_t)(units + 1));
  if (!w) return nullptr;
  if (units) to_wide(s, n, (char16_t*)w, units);
  w[units] = 0;
  return w;
}

int ui_text_width(HDC dc, const wchar_t* s, int n) {
  SIZE size{};
  if (n > 0) GetTextExtentPoint32W(dc, s, n, &size);
  return size.cx;
}

// A caption without its marks, and where the marked characters are (at most 8).
struct Plain {
  wchar_t text[256];
  int n;
  int marks[8];
  int marked;
};

static void strip_marks(const wchar_t* caption, Plain* out) {
  out->n = 0;
  out->marked = 0;
  for (const wchar_t* c = caption; c && *c && out->n < 255; ++c) {
    if (*c == L'&' && c[1]) {
      ++c;
      if (*c != L'&' && out->marked < 8) out->marks[out->marked++] = out->n;
    }
    out->text[out->n++] = *c;
  }
  out->text[out->n] = 0;
}

SIZE ui_caption_size(HDC dc, const wchar_t* caption) {
  Plain p;
  strip_marks(caption, &p);
  SIZE s{};
  GetTextExtentPoint32W(dc, p.n ? p.text : L" ", p.n ? p.n : 1, &s);
  if (!p.n) s.cx = 0;
  return s;
}

void ui_draw_caption(HDC dc, const wchar_t* caption, RECT rc, UINT format, COLORREF color) {
  Plain p;
  strip_marks(caption, &p);
  SIZE s{};
  GetTextExtentPoint32W(dc, p.text, p.n, &s);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  int x = rc.left;
  if (format & DT_CENTER) x = rc.left + (rc.right - rc.left - s.cx) / 2;
  if (format & DT_RIGHT) x = rc.right - s.cx;
  int y = rc.top + (rc.bottom - rc.top - tm.tmHeight) / 2;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  ExtTextOutW(dc, x, y, ETO_CLIPPED, &rc, p.text, (UINT)p.n, nullptr);
  int thick = tm.tmHeight >= 24 ? 2 : 1;
  for (int i = 0; i < p.marked; ++i) {
    int at = p.marks[i];
    int x0 = x + ui_text_width(dc, p.text, at);
    int x1 = x + ui_text_width(dc, p.text, at + 1);
    RECT u{x0, y + tm.tmAscent + thick, x1, y + tm.tmAscent + 2 * thick};
    ui_fill(dc, u, color);
  }
}

void ui_fill(HDC dc, RECT rc, COLORREF color) {
  COLORREF old = SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

LRESULT ui_erase_face(HWND window, HDC dc) {
  RECT rc;
  GetClientRect(window, &rc);
  ui_fill(dc, rc, ui_color(COLOR_BTNFACE));
  return 1;
}

COLORREF ui_color(int index) {
  return GetSysColor(index);
}

void ui_draw_button(HWND window, HDC dc, RECT rc, int flags) {
  if (ui_themed()) {
    if (HTHEME th = button_theme(window)) {
      int state = PBS_NORMAL;
      if (flags & BTN_DISABLED)
        state = PBS_DISABLED;
      else if (flags & BTN_PRESSED)
        state = PBS_PRESSED;
      else if (flags & BTN_HOT)
        state = PBS_HOT;
      else if (flags & (BTN_DEFAULT | BTN_FOCUS))
        state = PBS_DEFAULTED;
      g_api.draw_background(th, dc, BP_PUSHBUTTON, state, &rc, nullptr);
      return;
    }
  }
  int line = ui_scale(window, 1);
  COLORREF face = RGB(225, 225, 225), edge = RGB(173, 173, 173);
  COLORREF accent = RGB(0, 120, 215);
  if (flags & BTN_DISABLED) {
    face = RGB(204, 204, 204);
    edge = RGB(191, 191, 191);
  } else if (flags & BTN_PRESSED) {
    face = RGB(204, 228, 247);
    edge = RGB(0, 84, 153);
  } else if (flags & BTN_HOT) {
    face = RGB(229, 241, 251);
    edge = accent;
  } else if (flags & (BTN_DEFAULT | BTN_FOCUS)) {
    edge = accent;
  }
  ui_fill(dc, rc, face);
  frame_rect(dc, rc, line, edge);
  if ((flags & (BTN_DEFAULT | BTN_FOCUS)) && !(flags & (BTN_DISABLED | BTN_PRESSED | BTN_HOT))) {
    RECT in = rc;
    InflateRect(&in, -line, -line);
    frame_rect(dc, in, line, accent);
  }
}

void ui_draw_check(HWND window, HDC dc, RECT box, int flags, bool radio) {
  if (ui_themed() && !(flags & BTN_MARK_ONLY)) {
    if (HTHEME th = button_theme(window)) {
      int part = radio ? BP_RADIOBUTTON : BP_CHECKBOX;
      // Check boxes and radio buttons number their states alike.
      int state = (flags & BTN_CHECKED) ? (int)CBS_CHECKEDNORMAL : (int)CBS_UNCHECKEDNORMAL;
      if (flags & BTN_DISABLED)
        state += 3;
      else if (flags & BTN_PRESSED)
        state += 2;
      else if (flags & BTN_HOT)
        state += 1;
      g_api.draw_background(th, dc, part, state, &box, nullptr);
      return;
    }
  }
  int line = ui_scale(window, 1);
  COLORREF ink = (flags & BTN_DISABLED) ? RGB(160, 160, 160) : RGB(51, 51, 51);
  if (flags & BTN_HOT) ink = RGB(0, 120, 215);
  COLORREF back = (flags & BTN_PRESSED) ? RGB(204, 228, 247) : RGB(255, 255, 255);
  if (flags & BTN_MARK_ONLY) {
    // A menu's mark: the check or the dot alone, in the colour of the text.
    ink = GetTextColor(dc);
    if (!(flags & BTN_CHECKED)) return;
  }
  if (!radio) {
    if (!(flags & BTN_MARK_ONLY)) {
      ui_fill(dc, box, back);
      frame_rect(dc, box, line, ink);
    }
    if (flags & BTN_CHECKED) {
      int w = box.right - box.left;
      HPEN pen = CreatePen(PS_SOLID, w >= 20 ? 2 * line : line + 1, ink);
      HGDIOBJ old = SelectObject(dc, pen);
      POINT pts[3] = {{box.left + w * 22 / 100, box.top + w * 50 / 100},
                      {box.left + w * 42 / 100, box.top + w * 70 / 100},
                      {box.left + w * 78 / 100, box.top + w * 28 / 100}};
      Polyline(dc, pts, 3);
      SelectObject(dc, old);
      DeleteObject(pen);
    }
    return;
  }
  HPEN pen = CreatePen(PS_INSIDEFRAME, line, ink);
  HBRUSH brush = CreateSolidBrush(back);
  HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, brush);
  if (!(flags & BTN_MARK_ONLY)) Ellipse(dc, box.left, box.top, box.right, box.bottom);
  SelectObject(dc, ob);
  DeleteObject(brush);
  if (flags & BTN_CHECKED) {
    int w = box.right - box.left, in = w * 27 / 100;
    HBRUSH dot = CreateSolidBrush(ink);
    HPEN none = (HPEN)GetStockObject(NULL_PEN);
    SelectObject(dc, none);
    ob = SelectObject(dc, dot);
    Ellipse(dc, box.left + in, box.top + in, box.right - in + 1, box.bottom - in + 1);
    SelectObject(dc, ob);
    DeleteObject(dot);
  }
  SelectObject(dc, op);
  DeleteObject(pen);
}

void ui_draw_focus(HWND window, HDC dc, RECT rc) {
  // A dotted rectangle whose dots grow with the DPI.
  int dot = ui_scale(window, 1);
  COLORREF ink = RGB(0, 0, 0);
  for (int x = rc.left; x < rc.right; x += 2 * dot) {
    RECT a{x, rc.top, x + dot < rc.right ? x + dot : rc.right, rc.top + dot};
    ui_fill(dc, a, ink);
    RECT b{a.left, rc.bottom - dot, a.right, rc.bottom};
    ui_fill(dc, b, ink);
  }
  for (int y = rc.top; y < rc.bottom; y += 2 * dot) {
    RECT a{rc.left, y, rc.left + dot, y + dot < rc.bottom ? y + dot : rc.bottom};
    ui_fill(dc, a, ink);
    RECT b{rc.right - dot, a.top, rc.right, a.bottom};
    ui_fill(dc, b, ink);
  }
}

void ui_draw_border(HWND window, HDC dc, RECT rc, bool focused) {
  int line = ui_scale(window, 1);
  if (ui_themed()) {
    // The theme's edit border, kept off the contents already drawn inside it.
    HTHEME th = g_api.open_theme(window, L"EDIT");
    if (th) {
      int saved = SaveDC(dc);
      ExcludeClipRect(dc, rc.left + line, rc.top + line, rc.right - line, rc.bottom - line);
      g_api.draw_background(th, dc, EP_EDITBORDER_NOSCROLL, focused ? EPSN_FOCUSED : EPSN_NORMAL,
                            &rc, nullptr);
      RestoreDC(dc, saved);
      g_api.close_theme(th);
      return;
    }
  }
  frame_rect(dc, rc, line, focused ? RGB(0, 120, 215) : RGB(122, 122, 122));
}

void ui_draw_shutdown() {
  for (UiFont& f : g_fonts) {
    if (f.font) DeleteObject(f.font);
    f = UiFont{};
  }
  for (ThemeEntry& e : g_themes) {
    if (e.theme) g_api.close_theme(e.theme);
    e = ThemeEntry{};
  }
}
