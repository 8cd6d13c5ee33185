// The layout of a pane container ("TEXTPANE"): docked panes take their side in their order, the
// others share the rest from the top.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "uiwin/runtime.h"

namespace {

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

}  // namespace

SIZE container_need(HWND container) {
  SIZE s = need_from(GetWindow(container, GW_CHILD));
  int m = margin_of(container);
  s.cx += 2 * m;
  s.cy += 2 * m;
  return s;
}

void container_layout(HWND container) {
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

LRESULT CALLBACK container_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      container_layout(window);
      return 0;
    case WM_ERASEBKGND:
      return ui_erase_face(window, (HDC)wparam);
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
