#pragma once
// The driver of the Win32 user-interface tests: a thread timer polls for the window a step waits
// for (the active dialog, an open popup) and posts the keys and clicks a user would give, while
// the code under test runs its modal loop.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <vector>

#include "uiwin/pane.h"

// Under Wine the dialogs run on a desktop of their own, a virtual one: a window on the X display
// itself waits for a window manager that Xvfb does not have each time it is shown or hidden.
struct OwnDesktop {
  OwnDesktop() {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(key, L"zqtest", 0, REG_SZ, (const BYTE*)L"1024x768", 18);
      RegCloseKey(key);
    }
    HDESK desk = CreateDesktopW(L"zqtest", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (desk) SetThreadDesktop(desk);
  }
};
inline OwnDesktop g_desktop;

// A step waits until its action returns true; the next one then starts.
typedef std::function<bool()> Step;
inline std::vector<Step> g_steps;
inline size_t g_next;
inline int g_ticks;

inline void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  if (++g_ticks > 500) {
    // Give up: a stuck dialog is cancelled so that the test fails instead of hanging.
    HWND w = GetActiveWindow();
    if (w) PostMessageW(w, WM_CLOSE, 0, 0);
    return;
  }
  if (g_next < g_steps.size()) {
    size_t me = g_next;
    if (g_steps[me]()) {
      if (g_next == me) ++g_next;
      g_ticks = 0;
    }
  }
}

struct Driver {
  UINT_PTR timer;
  explicit Driver(std::vector<Step> steps) {
    g_steps = std::move(steps);
    g_next = 0;
    g_ticks = 0;
    timer = SetTimer(nullptr, 0, 15, tick);
  }
  ~Driver() {
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_next, g_steps.size()) << "steps left undone";
  }
};

inline bool is_frame(HWND w) {
  wchar_t name[16];
  return w && GetClassNameW(w, name, 16) && wcscmp(name, L"DuroDA64") == 0 && IsWindowVisible(w);
}

// The dialog that has the keyboard, once there are `depth` dialogs in their loops.
inline HWND active_dialog(int depth) {
  HWND w = GetActiveWindow();
  return is_frame(w) && dialog_depth() == depth ? w : nullptr;
}

inline Step key(UINT vk, int depth = 1) {
  return [=] {
    if (!active_dialog(depth) || !GetFocus()) return false;
    PostMessageW(GetFocus(), WM_KEYDOWN, vk, 1);
    PostMessageW(GetFocus(), WM_KEYUP, vk, 0xC0000001);
    return true;
  };
}

inline Step chr(wchar_t c, int depth = 1) {
  return [=] {
    if (!active_dialog(depth) || !GetFocus()) return false;
    PostMessageW(GetFocus(), WM_CHAR, c, 1);
    return true;
  };
}

inline HWND pane_in(HWND frame, int id) {
  HWND c = GetDlgItem(frame, CHILD_CONTAINER);
  return c ? GetDlgItem(c, id) : nullptr;
}

inline void click_at(HWND pane, RECT rc) {
  LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  PostMessageW(pane, WM_MOUSEMOVE, 0, at);
  PostMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(pane, WM_LBUTTONUP, 0, at);
}

// Clicks the item `id` of the pane `pane_id` in the frame `frame` (the active dialog when null).
inline Step click(int pane_id, PackedId id, int depth, HWND* frame = nullptr) {
  return [=] {
    HWND f = frame ? *frame : active_dialog(depth);
    if (!f || dialog_depth() != depth) return false;
    HWND pane = pane_in(f, pane_id);
    RECT rc;
    if (!pane || !pane_item_rect(pane, id, &rc)) return false;
    click_at(pane, rc);
    return true;
  };
}

inline Step check(std::function<void()> f) {
  return [=] {
    f();
    return true;
  };
}
