#pragma once
// Menus as descriptions (ui/desc.h): named menus cut out of menu files, key lines, and the command
// numbers of menus that are also shown natively. The portable half of the menus; the bar, the
// popups, the native menus and menu_load, which reads the menu files through the file layer, are
// the Win32 runtime's (uiwin/menu.h).
//
// A menu file is a description whose one-dot headings name its menus (".挿入(&I)"); deeper
// headings ("..日付") open submenus, closed by "..end". A named menu runs from the line after its
// heading to the next heading with as many dots or fewer, or to the end of the file.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// The text property values given to every menu cut out of a file.
inline constexpr PackedId MENU_PROP_FIXED = ID("_FIXHED");
inline constexpr PackedId MENU_PROP_HELP = ID("_HELP");
// The value of _HELP: a pointer to this string.
extern const char MENU_HELP_STD[];  // "std"

// The menu named `name` (its heading's title read as a PackedId) from the text of a menu file: a
// new Text holding its lines, marked _FIXHED and _HELP "std", whose deeper headings have lost as
// many dots as the named heading has (so that its submenus start with two dots again), unless
// keep_levels. An absent name, a null file or name 0 give an empty Text; null only when memory
// runs out. A heading's name may carry an accelerator and more after it ("挿入(&I)" is not a
// PackedId; such headings are only reached by names that are).
Text* menu_extract(TextArg file, PackedId name, bool keep_levels);

// The built-in text named MENUS, used when "zq://menus.mnu" does not exist.
const char* menu_builtin_text();

// ---- key lines: "{Enter}\tENTER\n", "+{DOWN}\tDOWNS\n", "^C\tCOPY\n", "+^{Tab}\tFOCUSP\n" ----

// Key numbers are the system's virtual-key numbers; a letter or digit is its upper-case ASCII code.
enum : int {
  MENU_VK_BACK = 0x08,
  MENU_VK_TAB = 0x09,
  MENU_VK_RETURN = 0x0D,
  MENU_VK_ESCAPE = 0x1B,
  MENU_VK_PRIOR = 0x21,
  MENU_VK_NEXT = 0x22,
  MENU_VK_END = 0x23,
  MENU_VK_HOME = 0x24,
  MENU_VK_LEFT = 0x25,
  MENU_VK_UP = 0x26,
  MENU_VK_RIGHT = 0x27,
  MENU_VK_DOWN = 0x28,
  MENU_VK_DELETE = 0x2E,
};
enum : unsigned {
  MENU_KEY_SHIFT = 0x100,  // "+"
  MENU_KEY_CTRL = 0x200,   // "^"
  MENU_KEY_CHAR = 0x400,   // a character that is not a letter or digit (key is its code)
};
struct MenuKey {
  int key;        // virtual-key number, or the character with MENU_KEY_CHAR
  unsigned mods;  // MENU_KEY_SHIFT, MENU_KEY_CTRL, MENU_KEY_CHAR
};
// Reads a key line. Key names in braces, in any case: Enter, Esc, Up, Down, Left, Right, PageUp,
// PageDown, Home, End, Delete, BS, Tab, Space, Insert, F1 to F24. False for any other line, an
// unknown key name or a missing command.
bool menu_key_parse(const char* line, MenuKey* key, PackedId* command);
// The command of the first key line of `keys` that matches key and mods, or 0.
PackedId menu_key_command(Text* keys, int key, unsigned mods);

// ---- native menu command numbers ----

// The command number of an identifier: the first distinct identifier seen by the process gets
// 100, the next 101, and so on, for the life of the process. 0 for the identifier 0 or when the
// table cannot grow.
int menu_command_number(PackedId id);
// The identifier behind a command number, 0 when none.
PackedId menu_command_id(int number);
