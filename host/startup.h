#pragma once
// The life of the process on Windows: the start-up and what it learns of the system, the one
// message loop, the shutdown, and the loading of system libraries. The applets and the protocol
// between instances are in host.h. Win32 build only.

#include <windows.h>

// ---- start-up, loop, shutdown ----
// The whole life of the process: start-up, the applets of the command line, the loop (only when
// an applet window exists), shutdown. Returns the exit code: 0 unless an applet set another.
int host_main(HINSTANCE instance, const wchar_t* command_line, int show);
// The process's exit code, for applets whose result scripts read (the unattended set-up).
void host_set_exit_code(int code);
// The message loop; returns when GetMessageW returns anything but 1.
void host_run_loop();
// One turn of the loop: takes the next message (waiting) into *msg (may be null) and handles it
// (key-repeat timers, key counter, IME-ON window, caret blink, pre-translation, dispatch).
// Returns GetMessageW's result. The modal loops of dialogs and menus use it too.
int host_pump_message(MSG* msg);
// A window that wants the IME keys directly (on), or no longer (off).
void host_set_imeon_window(HWND window, bool on);
// The window that receives ALT+digit commands 80..91 (null: none; nothing here registers one).
void host_set_shortcut_window(HWND window);
// The set-up utility's child process: at shutdown it is waited for (at most an hour), then the
// temporary file handed to it is deleted. The host takes over the handle.
void host_set_child_process(HANDLE process, const char* temp_file);

// What start-up learns of the system.
struct HostFlags {
  bool vista, win7, win81;
  int visual_styles;
  bool touch;
  bool in_program_files;
  const char* default_font;  // of the setting FONT
};
extern HostFlags host_flags;
HWND host_window();  // the "TXMAINTIMER" window
bool host_quitting();
DWORD host_ui_thread();
const SYSTEMTIME* host_start_time();  // local time when the host window's timers started
unsigned host_key_presses();          // WM_KEYDOWN and WM_SYSKEYDOWN taken from the queue
bool host_busy();                     // the resident icon step is running
// The in-dispatch bit, cleared before every GetMessageW; the runtime sets it while it dispatches.
bool host_in_dispatch();
void host_set_in_dispatch(bool on);

// ---- libraries ----
// Restricts the process's DLL search to the system folder where the system offers it.
bool host_harden_dll_search();
// Loads a system DLL by its full path in the system folder (fsys_load_system_library).
HMODULE host_load_system_library(const wchar_t* name);
