#pragma once
// The application host on Windows: the applet table, the dispatch of a CommandList (cmdline.h) to
// a new or running applet window, and the window-message protocol between instances. The start-up,
// the one message loop and the shutdown are in startup.h. Win32 build only.
//
// Protocol (window messages in the application range; every query waits at most 500 ms and a hung
// window counts as absent):
//   HOST_QUERY    wParam ISAPP (lParam applet id, reply 2: that applet), GETAPP (reply: the applet
//                 id), PRSSID (reply: the process id)
//   HOST_STRING   wParam command, lParam a NUL-terminated string of the sender (same process only)
//   UI_MSG_COMMAND  wParam command, lParam number: START 1 / START 0 around a batch, SHOW, switches
//   HOST_XFER / HOST_XFER_NEXT  a string between processes, four bytes per 32-bit group
//   WM_COPYDATA   file hand-over: dwData ISOPEN, IAOPEN or ISPRJ, lpData the multibyte path with
//                 its NUL; reply 2: this window has it, above 2: the window that has it

#include <windows.h>

#include "core/ids.h"
#include "core/text.h"
#include "ui/window_names.h"  // UI_CLASS_FRAME: the frames of every applet
#include "uiwin/messages.h"   // UI_MSG_COMMAND, UI_MSG_IDLE

enum : UINT {
  HOST_XFER_NEXT = 1918,
  HOST_XFER = 1919,
  HOST_QUERY = 1920,
  HOST_STRING = 1923,
};
inline constexpr UINT HOST_QUERY_TIMEOUT_MS = 500;

// ---- applets ----
// Creates the applet's main window (file may be null); null when it cannot. records are the
// applet's own records of the CommandList (its "app" record up to the next one; null when the
// host itself starts the applet): the command line as the host parsed it, the only reading of
// it, so that the applet needs no other.
typedef HWND (*AppletCreateFn)(PackedId applet, const char* file, int show, Text* records);
// The program's entry point fills the table before host_main. False when the table is full.
bool applet_register(PackedId applet, AppletCreateFn create);

// Applet ids of the EDITOR family are one applet for finding running windows.
bool applet_is_editor(PackedId applet);

// applet_find flags.
enum : unsigned { AF_FRONT = 1, AF_PROJECT = 2 };

// For every "app" record of the command line's CommandList, applet_dispatch (asynchronous). 1 when
// at least one applet window was created or found.
int cmdline_run(const wchar_t* line, int show, unsigned options);
// From the "app" record at the list's cursor to the next one: the window that received the
// requests, or null (the rest of this applet's records are then dropped). Commands are posted when
// asynchronous, sent otherwise.
HWND applet_dispatch(Text* list, bool synchronous);
// A running own window of the applet (that has `file` open, when given), or null.
HWND applet_find(PackedId applet, const char* file, unsigned flags);
// A new window of the applet from the table; posts START 1 and, unless show is NOSHOW, SHOW.
HWND applet_create(PackedId applet, const char* file, int show);
// [start, end) to the window as a string for `command`: same process and synchronous, HOST_STRING
// with a copy (sent); otherwise the HOST_XFER transfer (posted, or sent when synchronous).
void applet_send_string(HWND window, PackedId command, const char* start, const char* end,
                        bool synchronous);

// Class name "DuroDA64", or "DuroDA64:" and more.
bool host_is_own_window(HWND window);
// The first top-level own window in Z order, or null.
HWND host_first_window();

// The receiving end of the HOST_XFER transfer, kept by an applet window. Returns true when the
// message was one of the transfer's; the finished string arrives as HOST_STRING sent to `window`.
struct HostStringReceiver {
  Text* text;
  PackedId command;
};
bool host_receive_string(HostStringReceiver* r, HWND window, UINT message, WPARAM wparam,
                         LPARAM lparam);
void host_receiver_free(HostStringReceiver* r);
