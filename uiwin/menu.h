#pragma once
// Menus on the pane runtime: the menu bar (frame_set MENU, pane.h), popup menus ("TEXTMENUBASE"
// windows holding one item pane), context menus, named menus read from the menu files, and native
// Windows menus built from descriptions with the process's command numbers (ui/menu_text.h).
// Only one popup chain is open at a time. Win32 build only.

#include <windows.h>

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// menu_popup flags.
enum : unsigned {
  MENU_LIST = 0x1,      // a list choice (LIST pane; Enter chooses, Esc dismisses)
  MENU_BESIDE = 0x2,    // beside the rectangle (a submenu), else below it
  MENU_CARET = 0x200,   // menu_track: at the text cursor of the focused view
  MENU_LEAVE = 0x4000,  // menu_track: at the text cursor, left open, the window returned
};

// A new Text with the menu `name` of the menus file (kind 0; "zq://menus.mnu", read once, else
// the built-in MENUS) or of the board file (kind BOARD, "zq://board.mnu", read at every call);
// any other kind or an absent menu gives an empty Text.
Text* menu_load(PackedId kind, PackedId name);
// Opens a popup menu of `description` at `rect` (screen coordinates) with the cursor on item
// `first` (0-based); owner_pane is the pane that asks (a bar or a menu of the open chain). The
// popup, or null when another chain is open or the description is empty.
HWND menu_popup(HWND owner_pane, const RECT* rect, int first, unsigned flags, Text* description,
                HWND owner_window);
// A context menu: runs until it closes and returns the chosen PackedId (0 when dismissed); with
// MENU_LEAVE the popup window instead (as an integer). 0 when a popup is open or the description
// is empty.
intptr_t menu_track(Text* description, unsigned flags, HWND window);
// The open popup chain's first window, null when none.
HWND menu_open_popup();
// The PackedId chosen in the last popup (0 while none).
PackedId menu_result();

// A native menu of the description (headings become submenus), with each item's command number
// from menu_command_number; the description keeps the menu in step when items are checked or
// enabled. The caller destroys it (or the window that holds it does).
HMENU menu_native(Text* description, bool popup);
