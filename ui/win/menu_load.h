#pragma once
// Loading named menus from the menu files through the file layer ("zq://menus.mnu", the applets'
// menus, read once and kept for the life of the process, with the built-in MENUS text when it does
// not exist; "zq://board.mnu", the board applet's, read at every request). Portable code above
// files/; the cutting out is menu_extract (ui/menu_text.h).

#include "core/ids.h"
#include "core/text.h"

// A new Text with the menu named `name` from the menus file (kind 0) or the board file (kind
// ID("BOARD")); any other kind, or an absent menu, gives an empty Text. For the board file the
// submenu headings keep their dots when the name is MENU. Null only when memory runs out.
Text* menu_load(PackedId kind, PackedId name);
// Forgets the menus file read so far (shutdown, and tests that change the program folder).
void menu_load_reset();
