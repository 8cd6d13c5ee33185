#pragma once
// The one judge of a folder as the place of an installation: the wizard's folder page, -exe, the
// installation itself and the uninstall's refusal all ask it, so that a folder the installation
// accepts is one the uninstall can follow.
//
// It judges the folder's real identity, never the string it was given: "\\?\" is taken off,
// trailing dots and spaces of each name go (as the system drops them), ".." is resolved, and the
// longest part that exists is replaced by the final path the system resolves (long names for 8.3
// names, links followed). A folder that is still reached through a link (the system could not
// resolve it) is refused. The system's folders are compared by their identity as well.

#include "core/text.h"

// The folders an installation must never take; null members are not checked. The strings belong
// to whoever filled the structure (folder_guard_free for folder_guard_system's).
struct FolderGuard {
  const char* profiles;  // the folder of the users' profiles
  const char* profile;   // the current user's profile
  const char* desktop;
  const char* documents;
  const char* windows;
  const char* program_files;
  const char* program_files_x86;
  const char* app_data;  // roaming
  const char* local_app_data;
  const char* common_app_data;
};
FolderGuard folder_guard_system();
void folder_guard_free(FolderGuard* guard);

// The longest path the product puts below its folder ("qmac\sample\", a name, and the suffix of
// a temporary), so that every file of an installation stays within the system's path limit.
inline constexpr int DESTINATION_LONGEST_TAIL = 48;
inline constexpr int DESTINATION_PATH_LIMIT = 259;  // characters of a path, without its NUL

// The real identity of a folder (need not exist), as a new Text without a trailing separator
// (a drive root keeps its own); null for an empty or relative path.
Text* folder_identity(TextArg folder);

// Why the folder cannot hold an installation, or null when it can: a drive root; the Windows
// folder or anything under it; the program-files folders themselves, the profiles folder, each
// profile, the desktop, the documents and the application-data folders themselves (their
// subfolders are allowed); a path too long for the product's files; a folder reached through a
// link.
const char* folder_refusal(TextArg folder, const FolderGuard* guard);

// True when a folder on the path from `from` (excluded) down to `path` (included) is a link:
// what lies below it is somewhere else. `path` must lie inside `from`.
bool path_has_link(TextArg path, TextArg from);

// For a path in a user's profile (profiles: the folder of the users' profiles): true when the
// profile itself or a folder below it on the path is a link, or the path is not in a profile.
// Such a user's folder is neither written nor cleared.
bool user_path_has_link(const char* path, const char* profiles);

// True when the folder exists and holds anything while it is not an earlier installation of the
// product (neither its manifest nor "idsystem.sys" with "zqsetup.exe"): the user's own folder.
bool folder_holds_foreign_files(TextArg folder);
