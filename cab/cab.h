#pragma once
// The set-up utility's applet CAB: its main window (a log view, the menu of the set-up or the
// building mode, the title), the command table that every menu item and every command of the
// host reaches, the help window, and the unattended run (" -silent", -exe, -user, -log) with
// the process's exit code. What the commands decide without a window lives in setup/setup_run.h,
// setup/wizard.h and setup/setup_record.h; the wizard's window in cab/wizard_ui.h.
// Win32 build only.

#include <windows.h>

#include "core/ids.h"
#include "core/text.h"

enum : int {
  CAB_CHILD_FRAME_VIEW = 30009,  // the empty text view of the frame
  CAB_CHILD_LOG = 30200,         // the log view in the client area
  CAB_TIMER_START = 101,         // posts SET once, so that the wizard starts by itself
};
inline constexpr UINT CAB_START_DELAY_MS = 500;

// The applet's entry (AppletCreateFn): begins the run from the applet's records (setup_begin),
// creates the set-up window and returns it; null when there is nothing to show (a refused run,
// the usage, the uninstall's helper copy), with the process's exit code set. One set-up window
// per process: its record lives until the process ends.
HWND cab_open(PackedId applet, const char* file, int show, Text* records);
// One command of the table; sender is the window that sent it (null: the host or the menu).
void cab_command(HWND window, PackedId id, HWND sender);

// The help window on help_section(id) of the help text that WLIST1 loaded (empty without one);
// modal over owner until OK, EXIT or CANCEL.
void cab_help(HWND owner, PackedId id);

// After an uninstall the running zqsetup.exe is still in the folder it emptied: a copy of it in
// the temporary folder, started as `COPY -zqpid(PID) -zqrmv("PATH")`, waits for that process to
// end and deletes PATH (a "zqsetup.exe" only) and its folder when empty. cab_open recognises
// that request among its records and runs cab_remove_helper, whose result is the exit code.
int cab_remove_helper(DWORD pid, const wchar_t* exe);
