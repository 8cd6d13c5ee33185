#pragma once
// The windows of a running set-up program: its set-up window and the wizard it owns, found by
// their class among the process's visible top-level windows (Windows only).

#include <windows.h>

#include <cwchar>

struct SetupWindows {
  DWORD pid;
  HWND main, wizard;
};

inline BOOL CALLBACK setup_windows_visit(HWND w, LPARAM lp) {
  SetupWindows* f = (SetupWindows*)lp;
  DWORD pid = 0;
  wchar_t cls[32];
  GetWindowThreadProcessId(w, &pid);
  if (pid == f->pid && IsWindowVisible(w) && GetClassNameW(w, cls, 32) &&
      wcscmp(cls, L"DuroDA64") == 0)
    (GetWindow(w, GW_OWNER) ? f->wizard : f->main) = w;
  return TRUE;
}

// Looks every 50 ms, at most tries times, until the wizard of process pid has opened; the
// wizard is null when it did not.
inline SetupWindows setup_windows_wait(DWORD pid, int tries) {
  SetupWindows f{pid, nullptr, nullptr};
  for (int k = 0; k < tries && !f.wizard; ++k) {
    Sleep(50);
    EnumWindows(setup_windows_visit, (LPARAM)&f);
  }
  return f;
}
