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

// The editor the associations name: exe, or (null) "zqeditor.exe" in the program's folder. The
// set-up run sets setup_folder_exe while it is busy.
void assoc_set_editor(const char* exe);
// The editor's path as the associations use it (a new Text).
Text* assoc_editor();

// "text_" or "zq_" (by the system's version), the extension without its dot, "file" (new Text).
Text* assoc_prog_id(const char* ext);

// The previous-command list of a verb: "zqcfg://rgedit.lst" (EDIT) or "zqcfg://rgopen.lst"
// (OPEN), lines of the extension, a tab and the command.
const char* assoc_list_file(PackedId verb);
// The command saved for ext in a list's text (new string, malloc), or null when ext has no line.
char* assoc_saved_command(TextArg list, const char* ext);
// Replaces ext's command in the list, or appends a line for it.
bool assoc_save_command(Text* list, const char* ext, const char* command);

// True when ext's current command for verb is the editor's (it begins with the editor's quoted
// path). With remember the current command is first saved in the verb's list. A name without
// a leading "." or without a ProgId gives false.
bool assoc_query(const char* ext, PackedId verb, bool remember);
// Associates (on) or restores the saved command (off).
bool assoc_set(const char* ext, PackedId verb, bool on);
// Restores the verb's command of every extension in its list; returns the number restored.
int assoc_remove_all(PackedId verb);
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
