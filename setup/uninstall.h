#pragma once
// The uninstall: deletion requests (a folder, a file pattern, flags), the product's file list, the
// settings list, the safety check that keeps the uninstall out of folders that are not this
// product's installation, and the uninstall run. Each deleted file is logged "del: %s\n", each
// folder removal "rmdir: %s\n", each file kept because nothing proves it the product's
// "keep: %s\n".
//
// The uninstall deletes only what it can prove the installation made (setup/manifest.h): a file
// the manifest names with the size and time it still has, a file in a folder the installation
// created, any file of a user's settings folder of the product, and the installation's own
// temporaries ("*.zq~*"). Links are never followed: a link is removed as a link when the manifest
// names it and is otherwise left alone; a folder reached through a link is not searched.
//
// The running executable is never deleted (a Windows program cannot delete itself): it is left in
// the installation folder, logged "fail: %s\n", and the folder stays with it.

#include <cstdint>

#include "core/text.h"
#include "setup/destination.h"
#include "setup/manifest.h"

enum : int {
  DELETE_FILES = 0,    // every file matching the pattern
  DELETE_SAMPLES = 1,  // ".txp" always; other files only while they carry the sample time
  DELETE_TREE = 2,     // also every subfolder: its files ("*.*") and the folder itself
};

// What proves a file the product's. Without one (null) every matching file is deleted, as the
// bare deletion request says; links are never followed either way.
struct DeleteProof {
  const Manifest* manifest;  // what the installation made in the folder; null: nothing
  bool product_folder;       // a settings folder that only the product writes: all of it
};
// One deletion request; a pattern ending in "*.*" also removes its folder (which stays when it is
// not empty; with a proof only a folder the installation created or a product folder). Folders
// that are links to elsewhere are never entered. Returns the files deleted.
int delete_matching(TextArg folder, const char* pattern, int flags,
                    const DeleteProof* proof = nullptr);
// The product's files in the program's folder, in their order, then the installation's
// temporaries.
int delete_product_files(TextArg folder, const DeleteProof* proof = nullptr);
// The settings list on one settings folder.
int settings_clear(TextArg folder, const DeleteProof* proof = nullptr);

// The folders an uninstall must never clear (the installation's judge, setup/destination.h).
typedef FolderGuard UninstallGuard;
UninstallGuard uninstall_guard_system();
void uninstall_guard_free(UninstallGuard* guard);
// Why the folder is not an installation that may be removed (a message), or null when it is:
// a folder the installation would refuse (folder_refusal), or one without "idsystem.sys" and
// "zqsetup.exe".
const char* uninstall_refusal(TextArg folder, const UninstallGuard* guard);

// The removal, from the program's own folder: associations, shortcuts, the uninstall entry, the
// HTML-editor registration, the editor's application registration when it names this folder, the
// product files, the settings files (every user's for a standard installation, each user's folder
// skipped when a link lies on its path from the profile). Refused, with nothing touched and the
// user told why, when the folder fails uninstall_refusal (*exit_code SETUP_EXIT_REFUSED) or a
// program runs from it (SETUP_EXIT_RUNNING). Returns false when refused.
bool uninstall_run(Text* rec, int* exit_code = nullptr);
// The UNINST command after its title: COMMON from the installed "idsystem.sys", the question (a
// silent run answers yes), the removal and the closing message. False when declined or refused,
// with the exit code of the refusal in *exit_code.
bool setup_uninstall(Text* rec, int* exit_code = nullptr);
