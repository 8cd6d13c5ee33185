// The keyboard handler of dialogs: Tab through the panes, Enter and Esc, accelerators.

#include <windows.h>
// After windows.h, which it needs.
#include <imm.h>

#include <initializer_list>

#include "uiwin/runtime.h"

// The next (or previous) pane of the frame that takes the focus, wrapping around.
HWND dialog_next_pane(HWND frame, HWND from, bool back) {
  HWND all[128];
  int n = 0, at = -1;
  HWND container = GetDlgItem(frame, CHILD_CONTAINER);
  HWND tabs = GetDlgItem(frame, CHILD_TABS);
  Frame* f = frame_of(frame);
  if (tabs && f) container = tabs_page(tabs, f->page);
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

namespace {

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
        HWND next = dialog_next_pane(root, msg->hwnd, shift);
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
