#pragma once
// Internal paths: the path algebra on Texts, the schemes "zq://" (the program folder), "zqcfg://"
// (the settings folder) and "file://" (the document folder), and the special folders.
//
// An internal path is multibyte text; "\" and "/" are both separators, but a 0x5C that is the
// trail byte of a double-byte character never is. A path is absolute when it starts with a letter,
// ":" and a separator, with two backslashes (UNC), or with a scheme (letters and "://").
// path_resolve is the only place where an internal path becomes a system path (UTF-16).
//
// Functions that edit a path take a Text and change it in place; those that only read take a
// Text or a string. New Texts and strings returned are owned by the caller.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// The system path of an internal path (malloc'd UTF-16; the caller frees it), or null.
// Not a pure function: in per-user mode, resolving "zqcfg://NAME" when the settings folder lacks
// NAME copies the default of that name from the program folder into the settings folder first,
// so that the caller finds the user's own copy.
char16_t* path_resolve(TextArg path);
bool path_is_scheme(TextArg path);

// Length of the root: 3 for "X:\", the server part of a UNC name with its separator, the
// scheme with "://"; 0 when the path is relative.
int path_root_length(TextArg path);

// The core join: an absolute name replaces the base; "./" or ".\" starts from the current
// directory; a leading separator keeps only the base's drive; otherwise the base's file-name part
// is replaced by the name (null name: only deleted). The result is normalised.
bool path_join(Text* base, TextArg name);
// Removes "." and ".." segments; never climbs above the root.
bool path_normalise(Text* path);
// flag 1: add a separator; 0: strip one; 2: strip one but keep a drive root's.
bool path_separator(Text* path, int flag);
bool path_add_separator(Text* path);
bool path_strip_separator(Text* path, int flag = 0);
bool path_parent(Text* path);  // true when the path became shorter
bool path_root(Text* path);    // false when the path had no root
// Pointers into the path (for a Text the cursor is put there, and the pointer is into its
// closed-gap buffer).
const char* path_extension(TextArg path);
const char* path_file_name(TextArg path);
bool path_has_extension(TextArg path, const char* ext);
void path_set_extension(Text* path, const char* ext);
void path_add_extension(Text* path, const char* ext);
void path_to_backslashes(Text* path);
// 0 when the first n bytes (n < 0: the whole paths) name the same path, 1 otherwise.
int path_compare(TextArg a, TextArg b, int64_t n);
bool path_is_drive_root(TextArg path);
// The same path, whole (case and separators aside).
bool path_same(const char* a, const char* b);
// True when path lies below folder (or, with or_same, is it): the same path up to folder's end
// (case aside), then a separator, so that "...\Program Files (x86)" is not inside
// "...\Program Files". An empty folder holds nothing.
bool path_inside(const char* path, const char* folder, bool or_same);
// folder joined with name, as a new Text.
Text* path_child(TextArg folder, const char* name);

// The executable and the folders of the system.
Text* program_path();
Text* special_folder(PackedId id);  // CD, ZQ, STD, DESK, TEXT, USER, APDAT, LOGIN, MYDOC, ...
Text* shell_folder(int csidl);
// The settings folder with a trailing separator in per-user mode; otherwise the executable's path,
// whose file-name part a join replaces. The document folder: FOLDER of the system settings, else
// the documents folder. Both new Texts.
Text* settings_folder();
Text* document_folder();
// FOLDER of the system settings (the editor's configuration supplies it); null: absent.
void path_set_system_folder(const char* folder);
// Releases the cached executable path and folders (shutdown).
void path_cache_free();

// Per-user mode: on when the executable lies in the program-files folder.
void per_user_init();
void per_user_set(bool on);
bool per_user_mode();

// Test support: stands in for the executable's path (null: the real one).
void path_set_program_path(const char* path);
