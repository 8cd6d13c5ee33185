// Dialogs: the modal loop with its stack of at most twenty dialogs, their owner, placement and
// closing. A command becomes the result only of the dialog on top of the stack: a lower one shows
// the close-order notice instead.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "uiwin/msgbox.h"
#include "uiwin/runtime.h"

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

HWND g_owner;

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

}  // namespace

void ui_set_owner(HWND owner) {
  g_owner = owner;
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

bool dialog_in_loop(HWND frame) {
  return stack_index(frame) >= 0;
}

void dialog_frame_gone(HWND frame) {
  int i = stack_index(frame);
  if (i >= 0 && !g_stack[i].result) g_stack[i].result = ID("CANCEL");
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
  frame_layout(frame);
  ShowWindow(frame, SW_SHOW);
  SetForegroundWindow(frame);
  HWND first = dialog_next_pane(frame, nullptr, false);
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
    for (int n = 0; tabs_page(tabs, n); ++n) apply_children(tabs_page(tabs, n));
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
