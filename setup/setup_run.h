#pragma once
// What the set-up window's commands say and decide without a window: the menus of both modes and
// the title, the help window's description, the STAT and REGEXT lines, the texts of the SET run
// and the association changes of its step 4.

#include "core/ids.h"
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

// Step 4 of SET: the rows of the extension table whose current association (current[k], from
// assoc_query) differs from the record's key; each change names the extension and the value to
// write for both EDIT and OPEN. Returns the number of changes.
struct SetupAssocChange {
  PackedId ext;
  bool on;
};
int setup_association_changes(Text* rec, const bool current[4], SetupAssocChange out[4]);

// ---- the SET run ----

// The steps of SET that belong to the system or to other modules. Questions and the log go
// through the engine's setup_ask (the run sets the engine silent while it lasts); an unattended
// run asks nothing, logs what it would have shown, and starts nothing.
struct SetupRunOps {
  bool (*editor_running)(void* ctx);     // product_running
  bool (*wizard)(void* ctx, Text* rec);  // setup_wizard: false when cancelled
  // pak_install: false on failure, with a line per failed file or key appended to failure.
  bool (*install)(void* ctx, Text* rec, Text* failure);
  bool (*associated)(void* ctx, PackedId ext);          // assoc_query_id
  void (*associate)(void* ctx, PackedId ext, bool on);  // assoc_set_id
  void (*uninstall_entry)(void* ctx, const char* name, const char* command);
  bool (*start)(void* ctx, const char* exe);  // starts the installed editor
  void* ctx;
};

struct SetupRunResult {
  int exit_code;  // SETUP_EXIT_OK, _FAILED, or _REFUSED (cancelled, or stopped by the user)
  bool started;   // the editor was started
};
// Steps 1 to 6 of SET (the busy bit and the closing of the window are the window's). Extension keys
// absent from the record are first set from the current associations.
SetupRunResult setup_run(const SetupRunOps* ops, Text* rec, bool silent);
