#pragma once
// The uninstall: deletion requests (a folder, a file pattern, flags), the product's file list, the
// settings list, the safety check that keeps the uninstall out of folders that are not this
// product's installation, and the uninstall run. Each deleted file is logged "del: %s\n", each
// folder removal "rmdir: %s\n".
//
// The running executable is never deleted (a Windows program cannot delete itself): it is left in
// the installation folder, logged "fail: %s\n", and the folder stays with it.

#include <cstdint>

#include "core/text.h"

enum : int {
  DELETE_FILES = 0,    // every file matching the pattern
  DELETE_SAMPLES = 1,  // ".txp" always; other files only while they carry the sample time
  DELETE_TREE = 2,     // also every subfolder: its files ("*.*") and the folder itself
};

// One deletion request; a pattern ending in "*.*" also removes its folder (which stays when it is
// not empty). Subfolders that are links to elsewhere are never entered. Returns the files deleted.
int delete_matching(TextArg folder, const char* pattern, int flags);
// The product's files in the program's folder, in their order.
int delete_product_files(TextArg folder);
// The settings list on one settings folder.
int settings_clear(TextArg folder);

// The folders an uninstall must never clear; null members are not checked.
struct UninstallGuard {
  const char* profiles;  // the folder of the users' profiles
  const char* profile;   // the current user's profile
  const char* desktop;
  const char* documents;
  const char* windows;
  const char* program_files;
};
// The system's folders of this machine (new strings; uninstall_guard_free releases them).
UninstallGuard uninstall_guard_system();
void uninstall_guard_free(UninstallGuard* guard);
// Why the folder is not an installation that may be removed (a message), or null when it is:
// a drive root, the profiles folder or a user's profile in it, the desktop, the documents, the
// Windows folder or the program-files folder itself; or a folder without "idsystem.sys" and
// "zqsetup.exe".
const char* uninstall_refusal(TextArg folder, const UninstallGuard* guard);

// The removal, from the program's own folder: associations, shortcuts, the uninstall entry, the
// HTML-editor registration, the editor's application registration when it names this folder, the
// product files, the settings files (every user's for a standard
// installation). Refused, with nothing touched and the user told why, when the folder fails
// uninstall_refusal. Returns false when refused.
bool uninstall_run(Text* rec);
// The UNINST command after its title: COMMON from the installed "idsystem.sys", the question (a
// silent run answers yes), the removal and the closing message.
bool setup_uninstall(Text* rec);
