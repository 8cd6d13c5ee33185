#pragma once
// The window messages of the runtime, numbered once: those it shares with the host and the applets
// (the host's protocol, host/host.h), and those it posts to itself. Win32 build only.

#include <windows.h>

enum : UINT {
  // Posted to the host window ("TXMAINTIMER"): wParam IDLE.
  UI_MSG_IDLE = 1909,
  // The command message: wParam the command's PackedId, lParam a number.
  UI_MSG_COMMAND = 1924,
  // Inside the runtime: dialog_close's frame is destroyed from the queue, after the loops above it.
  UI_MSG_DESTROY_FRAME = WM_APP + 0x3F01,
  // Inside the runtime: the popup menu chain closes.
  UI_MSG_CLOSE_CHAIN = WM_APP + 0x3F02,
};
