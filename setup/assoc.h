#pragma once
// File associations: making the editor the program that edits (EDIT) or opens (OPEN) files of an
// extension, the commands those verbs had before (kept in the previous-command lists, one per
// verb, in the settings folder), and the editor's entry among the HTML editors. The three dialogs
// of the set-up utility are thin windows over the functions at the end of this header.
//
// An extension ".e" points at the ProgId "text_efile" ("zq_efile" before Windows Vista), whose
// "shell\edit\command" or "shell\open\command" holds the editor's command, "\"EXE\" \"%1\"".
// Values written with the placeholder "ZQ.EXE" at their start get the quoted editor path there.

#include <cstdint>

#include "core/ids.h"
#include "core/text.h"

// The editor the associations name: exe, or (null) "zqeditor.exe" in the program's folder.
void assoc_set_editor(const char* exe);
// The editor's path as the associations use it (a new Text).
Text* assoc_editor();
// The folder of the previous-command lists: folder, or (null) the settings folder "zqcfg://".
void assoc_set_list_folder(const char* folder);
// An installation's editor and lists, from the record as the installation used it: the editor
// of setup_folder, and the lists where the installed programs read them (the settings folder of
// the installation: the user's "VODudeduva\ZQ9xcom" under application data for a folder inside
// the program-files folder, else the installation folder). Null: back to the program's own.
void assoc_use_installation(Text* rec);
// The settings folder of the installation that rec describes (a new Text; null without one).
Text* assoc_installation_settings(Text* rec);

// "text_" or "zq_" (by the system's version), the extension without its dot, "file" (new Text).
Text* assoc_prog_id(const char* ext);
// Test seam: the system's major version that the ProgId rule reads (-1: the real one).
void assoc_set_os_version(int major);

// The previous-command list of a verb: "rgedit.lst" (EDIT) or "rgopen.lst" (OPEN) in the list
// folder (a new Text). Lines of the extension, a tab, the command, and (since the lists remember
// what the extension was) a tab and its origin: "=" and the ProgId the extension's key named
// (empty when it named none), or "-" when the extension had no key.
Text* assoc_list_file(PackedId verb);
// The command saved for ext in a list's text (new string, malloc), or null when ext has no line.
char* assoc_saved_command(TextArg list, const char* ext);
// The origin saved for ext ("=PROGID" or "-"), or null when its line has none (an older list).
char* assoc_saved_origin(TextArg list, const char* ext);
// Replaces ext's line in the list, or appends one; origin null writes none.
bool assoc_save_command(Text* list, const char* ext, const char* command,
                        const char* origin = nullptr);

// True when ext's current command for verb is the editor's (it begins with the editor's quoted
// path). With remember, what the extension is now is first saved in both lists (the ProgId is
// shared by both verbs): its ProgId and each verb's command. An extension that already names the
// editor's ProgId and has a line keeps it, so that the lists hold what it was before the editor
// first took it. A name without a leading "." or without a ProgId gives false.
bool assoc_query(const char* ext, PackedId verb, bool remember);
// Associates (on), or restores the saved command (off). Associating fails, writing nothing, when
// the previous state cannot be saved. Restoring touches only an extension that names the
// editor's ProgId; once neither verb is the editor's, the extension names its saved ProgId again
// (or loses the key that it did not have).
bool assoc_set(const char* ext, PackedId verb, bool on);
// Restores the verb's command of every extension in its list; returns the number of extensions
// whose verb was the editor's.
int assoc_remove_all(PackedId verb);
// The uninstall's restoring: EDIT and then OPEN of every extension in the lists of the
// installation that rec describes.
void assoc_uninstall(Text* rec);
// The extensions whose EDIT command is the editor's, one per line (a new Text).
Text* assoc_list();
// 0: removes the HTML-editor registration; 1: writes it; 2: whether it exists.
bool html_editor(int mode);
// Creates the HKCR key and writes its default value, the placeholder "ZQ.EXE" replaced.
bool registry_set_default(const char* key, const char* text);

// ---- what the dialogs do ----
// The one-extension dialog refuses ".bat", ".vbs" and ".js" (with or without the dot).
bool assoc_refused(const char* ext);
inline constexpr char ASSOC_REFUSED_MESSAGE[] = "bat,vbs,jsファイルの関連付けには対応していません";
// The extension as the dialogs take it: a leading "." added when missing (new Text, or null for
// an empty name).
Text* assoc_extension(const char* text);
// ADD of the extension list: EDIT, and OPEN as well unless the extension is "bat".
bool assoc_add(const char* text);
// DEL of the extension list: EDIT removed, then OPEN.
void assoc_remove(const char* ext);
// OK of the one-extension dialog: each box whose state changed is applied.
void assoc_apply(const char* ext, bool open_before, bool open_now, bool edit_before, bool edit_now);
// The REGHTM choice of the other-associations page: its preset (2 or 0), and OK with a choice.
int assoc_html_choice();
void assoc_html_apply(int choice);
// The extension table's rows (setup_extensions) name an extension by a PackedId: ".%id" in lower
// case (a new Text; null for 0). Step 4 of the set-up run asks and changes them through these:
// an extension is associated when its EDIT command is the editor's; a change writes EDIT and OPEN.
Text* assoc_extension_of(PackedId ext);
bool assoc_query_id(PackedId ext);
void assoc_set_id(PackedId ext, bool on);
