#pragma once
// The set-up window's catalogue of what it says, without a window: the menus of both modes and
// the title, the help window's description, the STAT and REGEXT log lines, and the texts of the
// SET run.

#include "core/text.h"

inline constexpr char SETUP_EDITOR_NAME[] = "VI ZIZUZA";

// cab_menu's description: the set-up mode's or the building mode's lines, then "--" and EXIT.
bool setup_menu(Text* out, bool building);
// "%s セットアップ", or "%s CAB作成" in building mode, with the product name.
bool setup_title(Text* out, bool building);
// The help window: its title, menu and key lines.
bool setup_help_frame(Text* title, Text* menu, Text* keys);

// STAT: COMMON, the logon user and the three shortcut folders, one log line each.
struct SetupFolders {
  const char* user;
  const char* desktop;           // DESK
  const char* startmenu;         // STARTP
  const char* common_startmenu;  // STARTC
};
bool setup_stat(Text* log, Text* rec, const SetupFolders* folders);
// REGEXT's first log line, with the settings folder.
bool setup_regext_line(Text* log, const char* settings_folder);

// The texts of the SET run and of REGEXT.
enum SetupMessage : int {
  SETUP_MSG_RUNNING,      // the editor is running: close it?
  SETUP_MSG_STOP,         // stop the set-up?
  SETUP_MSG_FAILED,       // the installation failed
  SETUP_MSG_DONE_COMMON,  // standard installation done: the editor starts
  SETUP_MSG_DONE_USER,    // done: start the editor?
  SETUP_MSG_REGEXT_NOTE,  // newer Windows may not start the editor from an association
};
bool setup_message(Text* out, SetupMessage which);
