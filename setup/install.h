#pragma once
// The installation engine: the one door for questions, the installation (walk mode 1 of the
// package), the per-user settings file, the previous-folder record, the uninstall entry and the
// shortcuts. The set-up window drives it as plain calls: each takes the set-up record
// (setup/setup_record.h, which owns its keys, folders and defaults) and reports success or
// failure; steps are logged through notify_log ("fail: %s\n" with the file or key and the
// system's reason).
//
// All or nothing: a package with a bad or repeated name is refused before anything is written;
// every entry is decoded and checked (its checksum) into a temporary file beside its place, then
// the settings files likewise, and only when all are ready do they take their places (the old
// files kept aside until the last one is in). Any failure before that leaves the old
// installation as it was and removes the folders the run made; the registration comes last.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"
#include "setup/pak.h"
#include "setup/setup_record.h"

inline constexpr char SETUP_VERSION[] = "9.0";  // DisplayVersion
inline constexpr char SETUP_HIST_KEY[] = "Software\\VODudeduva\\ZQ9";
inline constexpr char SETUP_UNINSTALL_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VI RIDEVA 9 64ved";
inline constexpr char SETUP_USER_DATA[] = "VODudeduva\\ZQ9xcom";  // under application data

// ---- questions ----
// Every message and question of the engine comes here. kind is the message box's call word
// (SETUP_ASK_OK, SETUP_ASK_YES_NO); returns NOTIFY_YES, NOTIFY_NO or NOTIFY_CANCEL. A silent run
// (the record's SILENT, set by the run for " -silent") shows nothing: the message goes to the log
// and the answer is the one the caller states for that question.
enum : unsigned { SETUP_ASK_OK = 0, SETUP_ASK_YES_NO = 1 };
int setup_ask(Text* rec, const char* message, unsigned kind, int silent_answer);
// Outside a run (the association dialogs): always shown.
inline int setup_ask(const char* message, unsigned kind, int silent_answer) {
  return setup_ask(nullptr, message, kind, silent_answer);
}

// ---- failures ----
// Logs "fail: WHAT: REASON\n" (REASON the system's text for code; code 0: WHAT alone) and, when
// failure is given, appends the same line to it (the uninstall and the associations log so too).
void install_log_failure(const char* what, uint32_t code, Text* failure);

// ---- temporaries ----
// The installation's temporary files and the old files it keeps aside are named after their
// file, ".zq~", an optional "b" and one or two digits ("zqeditor.exe.zq~1", "idsystem.sys.zq~b1"),
// so "*.zq~*" finds every one; a killed run's leftovers are removed by the next installation.
// True when a file name (no folder) is such a name.
bool install_is_temporary(const char* file_name);

// ---- installation ----
// Walk mode 1: creates the installation folder with every missing level (the record's defaults
// create none), writes every entry to its destinations, then (when every file was written) the
// shortcuts, the previous-folder record, "idsystem.sys" (and every user's copy for a standard
// installation), "idtemp.sys" and the editor's registration (REGEXE).
// failure (when given) receives one line per file that failed: its path, ": " and the reason.
bool pak_install(Text* rec, const PakBlock* pak, Text* failure = nullptr);
// The set-up window's failure message followed by the lines of failure (a new Text).
Text* install_failure_message(Text* failure);

// Reads the settings record at path, writes SETUP, NEW, SPEAK, ICON, COMMON, SCHMAT and CFGVER
// (clearing it first for a repair, RESCUE), and saves it.
bool user_settings_update(Text* rec, TextArg path);
// Empties a per-user settings record (the repair installation).
void user_settings_reset(Text* settings);

// The previous installation folder: "folder" under HKLM (COMMON) or HKCU.
bool hist_load(Text* rec);
bool hist_save(Text* rec);

// Writes the uninstall entry (DisplayName, UninstallString and the values installer tools
// write), or deletes its key when remove is set.
bool uninstall_entry(Text* rec, const char* name, const char* command, bool remove);

// Creates or deletes the three shortcuts; target null: the program's own path.
void shortcuts(Text* rec, const char* target, bool remove);
// An overwrite that renames the shortcuts: the start-menu and desktop links of the name that the
// earlier installation recorded (installed: its "idsystem.sys", read before this run replaced it;
// ICON, in the folder its COMMON chose) are deleted when ICON of rec is another name, so that no
// link stays unknown to the uninstall.
void shortcuts_renamed(Text* rec, Text* installed);

// Calls visit with each user's copy of a per-user path: `current` lies in the user's profile
// folder `profile`; for every folder beside that profile, the same path with the profile part
// replaced. Returns the number of folders visited.
typedef void (*UserPathVisit)(void* context, const char* path);
int each_user_path(TextArg current, TextArg profile, UserPathVisit visit, void* context);
// The current user's profile folder (the parent of the desktop folder), a new Text or null.
Text* user_profile_folder();
