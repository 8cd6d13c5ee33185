// The tabbed container ("TEXTTABPANE"): a strip of tab headers above the current page, each page
// a pane container.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "uiwin/runtime.h"

// A wizard's pages have no tab headers: the wizard turns them itself.
int tabs_strip_height(HWND tabs) {
  Frame* f = frame_of(GetAncestor(tabs, GA_ROOT));
  if (f && (f->mode & FRAME_WIZARD)) return 0;
  return ui_font(ui_dpi(tabs))->height + ui_scale(tabs, 10);
}

HWND tabs_page(HWND tabs, int index) {
  return GetDlgItem(tabs, CHILD_PAGE + index);
}

namespace {

int tab_at(HWND tabs, int x, int* count) {
  HDC dc = GetDC(tabs);
  HGDIOBJ old = SelectObject(dc, ui_font(ui_dpi(tabs))->font);
  int left = ui_scale(tabs, 4), hit = -1, n = 0;
  for (HWND pg; (pg = tabs_page(tabs, n)) != nullptr; ++n) {
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

}  // namespace

LRESULT CALLBACK tabs_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE: {
      int top = tabs_strip_height(window);
      for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        SetWindowPos(c, nullptr, 0, top, LOWORD(lparam), HIWORD(lparam) - top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      if (!tabs_strip_height(window)) return 0;
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
      rc.bottom = tabs_strip_height(window);
      ui_fill(dc, rc, ui_color(COLOR_BTNFACE));
      if (!rc.bottom) {
        EndPaint(window, &ps);
        return 0;
      }
      Frame* f = frame_of(GetAncestor(window, GA_ROOT));
      HGDIOBJ old = SelectObject(dc, ui_font(ui_dpi(window))->font);
      int left = ui_scale(window, 4);
      for (int n = 0;; ++n) {
        HWND pg = tabs_page(window, n);
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

HWND frame_add_page(HWND frame, TextArg title) {
  Frame* f = frame_of(frame);
  if (!f) return nullptr;
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (!tabs) {
    RECT rc;
    GetClientRect(frame, &rc);
    tabs = CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_TABS, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, rc.right, rc.bottom,
                           frame, (HMENU)(intptr_t)CHILD_TABS, ui_instance(), nullptr);
  }
  int n = 0;
  while (tabs_page(tabs, n)) ++n;
  int64_t len = 0;
  const char* s = title.p ? text_view(title, &len) : "";
  wchar_t* w = ui_wide(s, title.p ? (int)len : 0);
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, UI_CLASS_CONTAINER, w ? w : L"",
                              WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, tabs,
                              (HMENU)(intptr_t)(CHILD_PAGE + n), ui_instance(), nullptr);
  std::free(w);
  frame_select_page(frame, n);
  return page;
}

bool frame_select_page(HWND frame, int index) {
  Frame* f = frame_of(frame);
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  if (!f || !tabs || !tabs_page(tabs, index)) return false;
  f->page = index;
  for (int n = 0; tabs_page(tabs, n); ++n)
    ShowWindow(tabs_page(tabs, n), n == index ? SW_SHOW : SW_HIDE);
  RECT rc;
  GetClientRect(tabs, &rc);
  SendMessageW(tabs, WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
  InvalidateRect(tabs, nullptr, TRUE);
  return true;
}
